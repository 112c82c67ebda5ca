#include "TMXMessageDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace kovra {

namespace {
constexpr int kTopMargin = 8;
constexpr int kSideMargin = 8;
constexpr int kWidth = 440;

QList<QPointer<TMXMessageDialog>> &registry()
{
    static QList<QPointer<TMXMessageDialog>> list;
    return list;
}
} // namespace

TMXMessageDialog::TMXMessageDialog(const QString &caption, const QString &text, MessageKind kind,
                                   bool infoStyle, QWidget *parent)
    : TBaseForm(parent), m_text(text), m_kind(kind)
{
    setObjectName(QStringLiteral("TMXMessageDialog"));
    setCaption(caption);
    // No system menu and no close box: questions end only by their buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("memMessage"));
    m_memo->setReadOnly(true);
    m_memo->setFrameShape(QFrame::StyledPanel);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setFocusPolicy(Qt::NoFocus);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_memo->setPlainText(shown);
    m_memo->document()->setDocumentMargin(2);
    if (!infoStyle) {
        QPalette p = m_memo->palette();
        p.setColor(QPalette::Text, Qt::red);
        m_memo->setPalette(p);
    }

    m_buttons = new QWidget(this);
    m_buttons->setObjectName(QStringLiteral("pnlButtons"));
    m_first = new QPushButton(QStringLiteral("&OK"), m_buttons);
    m_first->setObjectName(QStringLiteral("btnOK"));
    m_second = new QPushButton(QStringLiteral("&Cancel"), m_buttons);
    m_second->setObjectName(QStringLiteral("btnCancel"));
    switch (kind) {
    case MessageKind::OneButton:
        m_first->setText(QStringLiteral("&Done"));
        m_second->hide();
        break;
    case MessageKind::OkCancel:
        break;
    case MessageKind::YesNo:
        m_first->setText(QStringLiteral("&Yes"));
        m_second->setText(QStringLiteral("&No"));
        break;
    }
    auto *bl = new QHBoxLayout(m_buttons);
    bl->setContentsMargins(kSideMargin, 6, kSideMargin, 8);
    bl->addStretch();
    bl->addWidget(m_first);
    bl->addWidget(m_second);
    bl->addStretch();
    m_first->setDefault(true);
    connect(m_first, &QPushButton::clicked, this, [this] { finishBy(QDialog::Accepted); });
    connect(m_second, &QPushButton::clicked, this, [this] { finishBy(QDialog::Rejected); });

    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(kSideMargin, kTopMargin, kSideMargin, 0);
    l->setSpacing(0);
    l->addWidget(m_memo);
    l->addWidget(m_buttons);
    l->setSizeConstraint(QLayout::SetFixedSize);
    m_memo->setFixedWidth(kWidth - 2 * kSideMargin);
    m_memo->setFixedHeight(memoHeightFor(m_memo->width()));

    registry().append(this);
}

TMXMessageDialog::~TMXMessageDialog()
{
    registry().removeAll(this);
    registry().removeAll(nullptr);
}

int TMXMessageDialog::memoHeightFor(int memoWidth) const
{
    const QFontMetrics fm(m_memo->font());
    const int frame = 2 * m_memo->frameWidth();
    const int docMargin = int(2 * m_memo->document()->documentMargin());
    const int textWidth = qMax(10, memoWidth - frame - docMargin);
    int lines = 0;
    const QStringList paragraphs = m_memo->toPlainText().split(QLatin1Char('\n'));
    for (const QString &p : paragraphs) {
        const QRect r = fm.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, p.isEmpty() ? QStringLiteral(" ") : p);
        lines += qMax(1, (r.height() + fm.lineSpacing() - 1) / fm.lineSpacing());
    }
    return qMax(22, lines * fm.lineSpacing() + 6) + frame + docMargin;
}

void TMXMessageDialog::showEvent(QShowEvent *event)
{
    m_memo->setFixedHeight(memoHeightFor(m_memo->width()));
    TBaseForm::showEvent(event);
}

void TMXMessageDialog::finishBy(int result)
{
    m_byButton = true;
    done(result);
}

void TMXMessageDialog::decline()
{
    if (m_kind == MessageKind::OneButton)
        m_first->click();
    else
        m_second->click();
}

void TMXMessageDialog::reject()
{
    // Escape and the window manager's close end only one-button notices.
    if (m_kind != MessageKind::OneButton && !m_byButton)
        return;
    QDialog::reject();
}

void TMXMessageDialog::closeEvent(QCloseEvent *event)
{
    if (m_kind != MessageKind::OneButton && !m_byButton && !m_timed) {
        event->ignore();
        return;
    }
    TBaseForm::closeEvent(event);
}

QList<TMXMessageDialog *> TMXMessageDialog::openDialogs()
{
    QList<TMXMessageDialog *> out;
    for (const auto &d : registry())
        if (d && d->isVisible())
            out << d.data();
    return out;
}

void TMXMessageDialog::declineAll()
{
    const auto open = openDialogs();
    for (TMXMessageDialog *d : open)
        d->decline();
}

bool TMXMessageDialog::Execute(const QString &caption, const QString &text, MessageKind kind,
                               bool infoStyle, int lifetimeMs)
{
    if (lifetimeMs != 0) {
        auto *dlg = new TMXMessageDialog(caption, text, kind, infoStyle);
        dlg->m_timed = true;
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->setWindowFlag(Qt::WindowStaysOnTopHint);
        dlg->setModal(false);
        const QString shownText = text;
        connect(dlg, &QDialog::finished, dlg, [shownText] { TimedMessageClosed(shownText); });
        auto *timer = new QTimer(dlg);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, dlg, [dlg] { dlg->finishBy(QDialog::Accepted); });
        timer->start(qAbs(lifetimeMs));
        dlg->show();
        dlg->raise();
        return true;
    }
    QPointer<TMXMessageDialog> dlg = new TMXMessageDialog(caption, text, kind, infoStyle);
    dlg->setModal(true);
    const int result = dlg->exec();
    delete dlg.data();
    return result != QDialog::Accepted;
}

} // namespace kovra
