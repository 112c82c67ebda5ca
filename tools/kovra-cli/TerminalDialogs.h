#pragma once
// Terminal backend of the dialog seam for kovra-cli: notices to stderr,
// questions answered by --yes/--no or a prompt, file dialogs answered from the
// command's arguments, progress lines to stderr, Ctrl-C as the Cancel button.
#include "MessageDialogs.h"

#include <QQueue>
#include <QString>

namespace kovra {

enum class CliAnswer;

class TerminalDialogs : public DialogBackend {
public:
    explicit TerminalDialogs(CliAnswer answer);
    ~TerminalDialogs() override;

    void queueFile(const QString &path) { m_files.enqueue(path); }
    // The next question is answered by the command itself (true = decline),
    // e.g. "load a template?" by whether --template was given.
    void queueAnswer(bool declined) { m_answers.enqueue(declined); }
    // Set when a question had to be declined because nobody could answer it.
    bool declinedUnasked() const { return m_declinedUnasked; }

    bool showMessage(const QString &caption, const QString &text, MessageKind kind,
                     bool infoStyle, int lifetimeMs) override;
    QString openFileName(const FileDialogRequest &request) override;
    QString saveFileName(const FileDialogRequest &request) override;
    QString selectFolder(const QString &title, const QString &folder) override;
    ProgressSink &progress() override { return m_progress; }

    // Reads a line from the terminal without echo (stdin when it is no terminal).
    static QString readSecret(const QString &prompt);

private:
    class Progress : public ProgressSink {
    public:
        void begin(const QString &text, bool cancelButton) override;
        void setText(const QString &text) override;
        void setPercent(int percent) override;
        bool cancelled() override;
        void end() override;

    private:
        QString m_text;
        int m_percent = -1;
        int m_depth = 0;
    };

    DialogBackend *m_previous;
    CliAnswer m_answer;
    QQueue<QString> m_files;
    QQueue<bool> m_answers;
    Progress m_progress;
    bool m_declinedUnasked = false;
};

// True once Ctrl-C was pressed while a progress with a Cancel button was running.
bool CancelRequested();

} // namespace kovra
