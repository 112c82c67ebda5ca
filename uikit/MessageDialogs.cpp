#include "MessageDialogs.h"

#include <QTextStream>

namespace kovra {
namespace {

// Used until a front end installs its own: writes to stderr, declines questions.
class NullProgress : public ProgressSink {
public:
    void begin(const QString &, bool) override {}
    void setText(const QString &) override {}
    void setPercent(int) override {}
    bool cancelled() override { return false; }
    void end() override {}
};

class StderrBackend : public DialogBackend {
public:
    bool showMessage(const QString &caption, const QString &text, MessageKind kind, bool,
                     int) override
    {
        QTextStream(stderr) << caption << ": " << text << Qt::endl;
        return kind != MessageKind::OneButton;
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    QString selectFolder(const QString &, const QString &) override { return {}; }
    ProgressSink &progress() override { return m_progress; }

private:
    NullProgress m_progress;
};

StderrBackend g_fallback;
DialogBackend *g_backend = nullptr;
QString g_lastTimedMessage;

} // namespace

DialogBackend *SetDialogBackend(DialogBackend *backend)
{
    DialogBackend *old = g_backend;
    g_backend = backend;
    return old;
}

DialogBackend &Dialogs()
{
    return g_backend ? *g_backend : static_cast<DialogBackend &>(g_fallback);
}

bool ShowMessageDialog(const QString &caption, const QString &text, MessageKind kind,
                       bool infoStyle, int lifetimeMs)
{
    if (lifetimeMs < 0) {
        if (text == g_lastTimedMessage)
            return true;
        g_lastTimedMessage = text;
        lifetimeMs = -lifetimeMs;
    }
    const bool declined = Dialogs().showMessage(caption, text, kind, infoStyle, lifetimeMs);
    return lifetimeMs != 0 ? true : declined;
}

void ShowInfo(const QString &text) { ShowMessageDialog("Information", text, MessageKind::OneButton, true, 0); }
void ShowTimedInfo(const QString &text, int lifetimeMs) { ShowMessageDialog("Information", text, MessageKind::OneButton, true, lifetimeMs); }
void ShowError(const QString &text) { ShowMessageDialog("Error", text, MessageKind::OneButton, false, 0); }
void ShowTimedError(const QString &text, int lifetimeMs) { ShowMessageDialog("Error", text, MessageKind::OneButton, false, lifetimeMs); }
bool AskQuestion(const QString &caption, const QString &text, MessageKind kind) { return ShowMessageDialog(caption, text, kind, true, 0); }

QString LastTimedMessage() { return g_lastTimedMessage; }

void TimedMessageClosed(const QString &text)
{
    // Any timed notice closing clears the mark, as its own timer or button does.
    Q_UNUSED(text);
    g_lastTimedMessage.clear();
}

void ResetLastTimedMessage() { g_lastTimedMessage.clear(); }

QString OpenFileName(const FileDialogRequest &request) { return Dialogs().openFileName(request); }
QString SaveFileName(const FileDialogRequest &request) { return Dialogs().saveFileName(request); }
QString SelectFolder(const QString &title, const QString &folder) { return Dialogs().selectFolder(title, folder); }

ProgressScope::ProgressScope(const QString &text, bool cancelButton) { Dialogs().progress().begin(text, cancelButton); }
ProgressScope::~ProgressScope() { Dialogs().progress().end(); }
void ProgressScope::setText(const QString &text) { Dialogs().progress().setText(text); }
void ProgressScope::setPercent(int percent) { Dialogs().progress().setPercent(percent); }
bool ProgressScope::cancelled() { return Dialogs().progress().cancelled(); }

} // namespace kovra

#include "MainWindowHooks.h"

namespace kovra {
namespace {
MainWindowHooks *g_mainWindow = nullptr;
}
void SetMainWindowHooks(MainWindowHooks *hooks) { g_mainWindow = hooks; }
MainWindowHooks *MainWindow() { return g_mainWindow; }
} // namespace kovra
