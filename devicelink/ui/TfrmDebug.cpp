#include "TfrmDebug.h"
#include "Trace.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace kovra {
namespace {
TfrmDebug *g_instance = nullptr;
constexpr int kMaxLines = 1000;
} // namespace

TfrmDebug::TfrmDebug(QWidget *parent) : TBaseForm(parent), m_memDebug(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("frmDebug"));
    setCaption(QStringLiteral("Debug"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    resize(720, 480);

    m_memDebug->setObjectName(QStringLiteral("memDebug"));
    m_memDebug->setReadOnly(true);
    m_memDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memDebug->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *btnClear = new QPushButton(QStringLiteral("C&lear"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    auto *btnCopy = new QPushButton(QStringLiteral("Copy All to Clip&board"), this);
    btnCopy->setObjectName(QStringLiteral("btnCopyToClipboard"));
    auto *btnDone = new QPushButton(QStringLiteral("&Done"), this);
    btnDone->setObjectName(QStringLiteral("btnDone"));
    connect(btnClear, &QPushButton::clicked, this, &TfrmDebug::btnClearClick);
    connect(btnCopy, &QPushButton::clicked, this, &TfrmDebug::btnCopyToClipboardClick);
    connect(btnDone, &QPushButton::clicked, this, &TfrmDebug::btnDoneClick);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnClear);
    buttons->addWidget(btnCopy);
    buttons->addStretch();
    buttons->addWidget(btnDone);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_memDebug);
    layout->addLayout(buttons);

    // One window at a time; a second one takes the trace over.
    g_instance = this;
    // Runs under the trace lock on whatever thread traced; the destructor removes
    // the sink under the same lock, so `this` is alive whenever it runs.
    SetTraceSink([this](const QString &line) {
        QMetaObject::invokeMethod(this, "appendLine", Qt::QueuedConnection, Q_ARG(QString, line));
    });
}

TfrmDebug::~TfrmDebug()
{
    if (g_instance == this) {
        g_instance = nullptr;
        SetTraceSink(nullptr);
    }
}

TfrmDebug *TfrmDebug::instance() { return g_instance; }

void TfrmDebug::AddLine(const QString &line)
{
    if (QThread::currentThread() == thread())
        appendLine(line);
    else
        QMetaObject::invokeMethod(this, "appendLine", Qt::QueuedConnection, Q_ARG(QString, line));
}

void TfrmDebug::appendLine(const QString &line)
{
    m_memDebug->appendPlainText(line);
    // More than 1000 lines: start over empty, the new line included.
    if (m_memDebug->document()->blockCount() > kMaxLines)
        m_memDebug->clear();
}

void TfrmDebug::btnClearClick() { m_memDebug->clear(); }

void TfrmDebug::btnCopyToClipboardClick() { QGuiApplication::clipboard()->setText(m_memDebug->toPlainText()); }

void TfrmDebug::btnDoneClick() { close(); }

} // namespace kovra
