#pragma once
// The one seam through which every message, question, file dialog and progress
// window of the console passes. Core code calls the free functions below; the
// process-wide backend decides how they reach a person (widgets, terminal) or a
// test (scripted answers).
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace kovra {

enum class MessageKind : std::uint8_t { OneButton = 0, OkCancel = 1, YesNo = 2 };

struct FileDialogRequest {
    QString title;
    QString folder;          // folder to start in
    QString fileName;        // proposed name (save dialogs)
    QString filter;          // e.g. "Kovra Account Files (*.kva)"
    QString defaultSuffix;   // e.g. "kva"
    bool confirmOverwrite = false;
    bool mustExist = false;
};

// The progress window: a text line, a percentage bar and a Cancel button whose
// flag long operations poll between steps.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void begin(const QString &text, bool cancelButton) = 0;
    virtual void setText(const QString &text) = 0;
    virtual void setPercent(int percent) = 0;
    virtual bool cancelled() = 0;   // also lets pending UI events run
    virtual void end() = 0;
};

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // lifetimeMs > 0: timed notice, shown without waiting; the backend must call
    // TimedMessageClosed() when it goes away. lifetimeMs == 0: modal.
    // Returns true when the person declined (No / Cancel).
    virtual bool showMessage(const QString &caption, const QString &text, MessageKind kind,
                             bool infoStyle, int lifetimeMs) = 0;
    virtual QString openFileName(const FileDialogRequest &request) = 0;   // empty: cancelled
    virtual QString saveFileName(const FileDialogRequest &request) = 0;   // empty: cancelled
    virtual QString selectFolder(const QString &title, const QString &folder) = 0;
    virtual ProgressSink &progress() = 0;
    // Auto-logout: close every open question as No/Cancel (see CloseOpenQuestions).
    virtual void closeOpenQuestions() {}
};

// Installs a backend for the whole process; returns the previous one.
DialogBackend *SetDialogBackend(DialogBackend *backend);
DialogBackend &Dialogs();

// Message dialogs. All return true when the person declined; timed ones
// return true at once.
bool ShowMessageDialog(const QString &caption, const QString &text, MessageKind kind,
                       bool infoStyle, int lifetimeMs);
void ShowInfo(const QString &text);
void ShowTimedInfo(const QString &text, int lifetimeMs);
void ShowError(const QString &text);
void ShowTimedError(const QString &text, int lifetimeMs);
bool AskQuestion(const QString &caption, const QString &text, MessageKind kind);

// A negative lifetime means "no second copy while this text is on screen".
QString LastTimedMessage();
void TimedMessageClosed(const QString &text);   // called by backends when a timed notice closes
void ResetLastTimedMessage();

QString OpenFileName(const FileDialogRequest &request);
QString SaveFileName(const FileDialogRequest &request);
QString SelectFolder(const QString &title, const QString &folder);

// RAII over the process-wide progress window.
class ProgressScope {
public:
    explicit ProgressScope(const QString &text, bool cancelButton = true);
    ~ProgressScope();
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;
    void setText(const QString &text);
    void setPercent(int percent);
    bool cancelled();
};

} // namespace kovra
