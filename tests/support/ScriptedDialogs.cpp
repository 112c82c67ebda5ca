#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace kovra {

ScriptedDialogs::ScriptedDialogs() : m_previous(SetDialogBackend(this)) { ResetLastTimedMessage(); }

ScriptedDialogs::~ScriptedDialogs()
{
    SetDialogBackend(m_previous);
    ResetLastTimedMessage();
}

void ScriptedDialogs::closeTimedMessages()
{
    const QStringList open = m_openTimed;
    m_openTimed.clear();
    for (const QString &t : open)
        TimedMessageClosed(t);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const auto &m : m_shown)
        out << m.text;
    return out;
}

void ScriptedDialogs::clear()
{
    m_shown.clear();
    m_fileRequests.clear();
    m_progressTexts.clear();
    m_percents.clear();
}

bool ScriptedDialogs::showMessage(const QString &caption, const QString &text, MessageKind kind,
                                  bool infoStyle, int lifetimeMs)
{
    m_shown.append({caption, text, kind, infoStyle, lifetimeMs});
    if (lifetimeMs > 0) {
        m_openTimed << text;
        return true;
    }
    if (kind == MessageKind::OneButton)
        return false;
    if (m_answers.isEmpty()) {
        m_unanswered = true;
        qWarning("ScriptedDialogs: unscripted question \"%s\"", qPrintable(text));
        return true;
    }
    return m_answers.dequeue();
}

QString ScriptedDialogs::nextFile()
{
    if (m_files.isEmpty()) {
        qWarning("ScriptedDialogs: unscripted file dialog");
        return {};
    }
    return m_files.dequeue();
}

QString ScriptedDialogs::openFileName(const FileDialogRequest &request)
{
    m_fileRequests << request;
    return nextFile();
}

QString ScriptedDialogs::saveFileName(const FileDialogRequest &request)
{
    m_fileRequests << request;
    return nextFile();
}

QString ScriptedDialogs::selectFolder(const QString &title, const QString &folder)
{
    FileDialogRequest r;
    r.title = title;
    r.folder = folder;
    m_fileRequests << r;
    return nextFile();
}

void ScriptedDialogs::Progress::begin(const QString &text, bool withCancel)
{
    active = true;
    cancelButton = withCancel;
    m_owner.m_progressTexts << text;
}

void ScriptedDialogs::Progress::setText(const QString &text) { m_owner.m_progressTexts << text; }
void ScriptedDialogs::Progress::setPercent(int percent) { m_owner.m_percents << percent; }

bool ScriptedDialogs::Progress::cancelled()
{
    QCoreApplication::processEvents();
    ++m_owner.m_polls;
    return m_owner.m_cancelAfter >= 0 && m_owner.m_polls > m_owner.m_cancelAfter;
}

void ScriptedDialogs::Progress::end() { active = false; }

} // namespace kovra
