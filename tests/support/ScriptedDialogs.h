#pragma once
// Test backend of the dialog seam: records everything shown and answers
// questions and file dialogs from queues. Installed for its lifetime.
#include "MessageDialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

namespace kovra {

struct ShownMessage {
    QString caption;
    QString text;
    MessageKind kind;
    bool infoStyle;
    int lifetimeMs;   // as the backend received it (positive for timed notices)
};

class ScriptedDialogs : public DialogBackend {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Question answers: true = decline (No/Cancel), false = agree (Yes/OK).
    // An unscripted question fails the test via qWarning and is declined.
    void answerYes() { m_answers.enqueue(false); }
    void answerNo() { m_answers.enqueue(true); }
    void queueFile(const QString &path) { m_files.enqueue(path); }   // "" = dialog cancelled
    void cancelProgressAfter(int polls) { m_cancelAfter = polls; }

    // Timed notices stay "on screen" until this is called, as they would for 5 s.
    void closeTimedMessages();

    const QList<ShownMessage> &shown() const { return m_shown; }
    QStringList texts() const;
    QString lastText() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    bool unansweredQuestion() const { return m_unanswered; }
    int pendingAnswers() const { return int(m_answers.size()); }
    const QList<FileDialogRequest> &fileRequests() const { return m_fileRequests; }
    const QStringList &progressTexts() const { return m_progressTexts; }
    const QList<int> &progressPercents() const { return m_percents; }
    void clear();

    bool showMessage(const QString &caption, const QString &text, MessageKind kind,
                     bool infoStyle, int lifetimeMs) override;
    QString openFileName(const FileDialogRequest &request) override;
    QString saveFileName(const FileDialogRequest &request) override;
    QString selectFolder(const QString &title, const QString &folder) override;
    ProgressSink &progress() override { return m_progress; }

private:
    class Progress : public ProgressSink {
    public:
        explicit Progress(ScriptedDialogs &owner) : m_owner(owner) {}
        void begin(const QString &text, bool cancelButton) override;
        void setText(const QString &text) override;
        void setPercent(int percent) override;
        bool cancelled() override;
        void end() override;
        bool active = false;
        bool cancelButton = false;
    private:
        ScriptedDialogs &m_owner;
    };
    QString nextFile();

    DialogBackend *m_previous;
    QList<ShownMessage> m_shown;
    QQueue<bool> m_answers;
    QQueue<QString> m_files;
    QList<FileDialogRequest> m_fileRequests;
    QStringList m_progressTexts;
    QList<int> m_percents;
    QStringList m_openTimed;
    int m_cancelAfter = -1;
    int m_polls = 0;
    bool m_unanswered = false;
    Progress m_progress{*this};
};

} // namespace kovra
