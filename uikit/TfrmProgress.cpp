#include "TfrmProgress.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kovra {

TfrmProgress::TfrmProgress(QWidget *parent) : TBaseForm(parent)
{
    setObjectName(QStringLiteral("TfrmProgress"));
    setCaption(QStringLiteral("Progress"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);

    m_wait = new QLabel(QStringLiteral("Please Wait ..."), this);
    m_wait->setObjectName(QStringLiteral("lblWait"));
    m_wait->setWordWrap(true);
    m_wait->setAlignment(Qt::AlignCenter);

    // A busy bar stands in for the animation: it moves while work runs.
    m_animation = new QProgressBar(this);
    m_animation->setObjectName(QStringLiteral("aniProgress"));
    m_animation->setRange(0, 0);
    m_animation->setTextVisible(false);
    m_animation->setMaximumHeight(10);

    m_pnlProgress = new QWidget(this);
    m_pnlProgress->setObjectName(QStringLiteral("pnlProgress"));
    auto *pl = new QVBoxLayout(m_pnlProgress);
    pl->setContentsMargins(0, 0, 0, 0);
    auto *lbl = new QLabel(QStringLiteral("% of the task completed"), m_pnlProgress);
    lbl->setObjectName(QStringLiteral("lblPercent"));
    m_bar = new QProgressBar(m_pnlProgress);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    pl->addWidget(lbl);
    pl->addWidget(m_bar);

    m_pnlCancel = new QWidget(this);
    m_pnlCancel->setObjectName(QStringLiteral("pnlCancel"));
    auto *cl = new QHBoxLayout(m_pnlCancel);
    cl->setContentsMargins(0, 0, 0, 0);
    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), m_pnlCancel);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    cl->addStretch();
    cl->addWidget(m_btnCancel);
    cl->addStretch();
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { m_cancel = true; });

    auto *l = new QVBoxLayout(this);
    l->addWidget(m_wait);
    l->addWidget(m_animation);
    l->addWidget(m_pnlProgress);
    l->addWidget(m_pnlCancel);
    setMinimumWidth(340);
}

void TfrmProgress::begin(const QString &text, bool cancelButton)
{
    if (m_depth++ == 0) {
        m_cancel = false;
        m_bar->setValue(0);
        // The bar appears with the first percentage: callers that never report
        // one get the window "without a bar".
        m_pnlProgress->hide();
        m_pnlCancel->setVisible(cancelButton);
    } else if (cancelButton) {
        m_pnlCancel->show();
    }
    m_wait->setText(text.isEmpty() ? QStringLiteral("Please Wait ...") : text);
    adjustSize();
    show();
    raise();
    QApplication::processEvents();
}

void TfrmProgress::setText(const QString &text)
{
    m_wait->setText(text);
    QApplication::processEvents();
}

void TfrmProgress::setPercent(int percent)
{
    if (m_pnlProgress->isHidden()) {
        m_pnlProgress->show();
        adjustSize();
    }
    m_bar->setValue(qBound(0, percent, 100));
    QApplication::processEvents();
}

bool TfrmProgress::cancelled()
{
    QApplication::processEvents();
    return m_cancel;
}

void TfrmProgress::end()
{
    if (m_depth == 0)
        return;
    if (--m_depth == 0)
        hide();
}

} // namespace kovra
