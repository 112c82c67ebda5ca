#include "TerminalDialogs.h"
#include "CliContext.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace kovra {
namespace {

volatile std::sig_atomic_t g_cancel = 0;
volatile std::sig_atomic_t g_cancellable = 0;
struct sigaction g_previousSigint;

// Ctrl-C is the progress window's Cancel button while a cancellable operation
// runs; otherwise (or pressed twice) it ends the program as usual.
void onSigint(int sig)
{
    if (g_cancellable && !g_cancel) {
        g_cancel = 1;
        return;
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

QString terminalText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.trimmed();
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

} // namespace

bool CancelRequested() { return g_cancel != 0; }

TerminalDialogs::TerminalDialogs(CliAnswer answer)
    : m_previous(SetDialogBackend(this)), m_answer(answer)
{
    struct sigaction sa = {};
    sa.sa_handler = onSigint;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_previousSigint);
}

TerminalDialogs::~TerminalDialogs()
{
    sigaction(SIGINT, &g_previousSigint, nullptr);
    SetDialogBackend(m_previous);
}

bool TerminalDialogs::showMessage(const QString &caption, const QString &text, MessageKind kind,
                                  bool, int lifetimeMs)
{
    const QString shown = terminalText(text);
    if (kind == MessageKind::OneButton) {
        err() << caption << ": " << shown << Qt::endl;
        // A printed notice is gone at once; a repeat later must print again.
        if (lifetimeMs != 0)
            TimedMessageClosed(text);
        return false;
    }
    const QString choices = kind == MessageKind::YesNo ? QStringLiteral("yes/no") : QStringLiteral("ok/cancel");
    err() << caption << ": " << shown;
    if (!m_answers.isEmpty()) {
        const bool declined = m_answers.dequeue();
        err() << " [" << (declined ? (kind == MessageKind::YesNo ? "no" : "cancel")
                                   : (kind == MessageKind::YesNo ? "yes" : "ok"))
              << "]" << Qt::endl;
        return declined;
    }
    if (m_answer == CliAnswer::Yes) {
        err() << " [" << (kind == MessageKind::YesNo ? "yes" : "ok") << "]" << Qt::endl;
        return false;
    }
    if (m_answer == CliAnswer::No) {
        err() << " [" << (kind == MessageKind::YesNo ? "no" : "cancel") << "]" << Qt::endl;
        return true;
    }
    if (!isatty(STDIN_FILENO)) {
        err() << Qt::endl
              << "Declined: no terminal to answer the question; use --yes or --no." << Qt::endl;
        m_declinedUnasked = true;
        return true;
    }
    for (;;) {
        err() << " (" << choices << ") " << Qt::flush;
        std::string line;
        if (!std::getline(std::cin, line)) {
            err() << Qt::endl;
            return true;
        }
        const QString a = QString::fromStdString(line).trimmed().toLower();
        if (a == "y" || a == "yes" || a == "ok")
            return false;
        if (a == "n" || a == "no" || a == "c" || a == "cancel")
            return true;
        err() << caption << ": " << shown;
    }
}

QString TerminalDialogs::openFileName(const FileDialogRequest &)
{
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString TerminalDialogs::saveFileName(const FileDialogRequest &)
{
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString TerminalDialogs::selectFolder(const QString &, const QString &)
{
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString TerminalDialogs::readSecret(const QString &prompt)
{
    std::string line;
    if (isatty(STDIN_FILENO)) {
        err() << prompt << Qt::flush;
        termios old = {};
        tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        std::getline(std::cin, line);
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        err() << Qt::endl;
    } else {
        std::getline(std::cin, line);
    }
    QString s = QString::fromStdString(line);
    if (s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}

void TerminalDialogs::Progress::begin(const QString &text, bool cancelButton)
{
    ++m_depth;
    m_text = text;
    m_percent = -1;
    if (cancelButton) {
        g_cancel = 0;
        g_cancellable = 1;
    }
    err() << terminalText(text) << (cancelButton ? " (Ctrl-C cancels)" : "") << Qt::endl;
}

void TerminalDialogs::Progress::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    err() << terminalText(text) << Qt::endl;
}

void TerminalDialogs::Progress::setPercent(int percent)
{
    // One line per tenth is enough on a terminal.
    if (percent / 10 == m_percent / 10 && percent != 100)
        return;
    if (percent == m_percent)
        return;
    m_percent = percent;
    err() << "  " << percent << "%" << Qt::endl;
}

bool TerminalDialogs::Progress::cancelled()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    return g_cancel != 0;
}

void TerminalDialogs::Progress::end()
{
    if (m_depth > 0 && --m_depth == 0)
        g_cancellable = 0;
}

} // namespace kovra
