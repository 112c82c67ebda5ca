#include "CliContext.h"

#include "LoginState.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"
#include "TerminalDialogs.h"
#include "UserStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace kovra {
namespace {

QString roleName(int type)
{
    switch (type) {
    case ModeSupervisor: return QStringLiteral("Supervisor");
    case ModeAdministrator: return QStringLiteral("Administrator");
    case ModeUser: return QStringLiteral("User");
    default: return QStringLiteral("nobody logged in");
    }
}

// The login window's OK stays disabled below this length.
constexpr int kMinPasswordLength = 8;

QString passwordFromEnvironment(const char *variable, const QString &prompt)
{
    if (qEnvironmentVariableIsSet(variable))
        return qEnvironmentVariable(variable);
    return TerminalDialogs::readSecret(prompt);
}

} // namespace

CliContext::CliContext(const CliOptions &options, TerminalDialogs &dialogs)
    : m_options(options), m_dialogs(dialogs), m_out(stdout)
{
}

CliContext::~CliContext()
{
    m_out.flush();
}

TdmdMain &CliContext::db()
{
    Q_ASSERT(m_db);
    return *m_db;
}

bool CliContext::accountDatabaseOpen() const { return m_db && m_db->databaseOpen(); }

void CliContext::queueFile(const QString &path) { m_dialogs.queueFile(path); }

bool CliContext::cancelRequested() const { return CancelRequested(); }

int CliContext::refuse(const QString &message)
{
    m_out.flush();
    if (!message.isEmpty())
        QTextStream(stderr) << "Error: " << message << Qt::endl;
    return ExitRefused;
}

int CliContext::usage(const QString &synopsis)
{
    m_out.flush();
    QTextStream(stderr) << "usage: kovra-cli " << synopsis << Qt::endl
                        << "(kovra-cli --help lists every command)" << Qt::endl;
    return ExitUsage;
}

void CliContext::printTable(const QStringList &headers, const QList<QStringList> &rows)
{
    QList<int> widths;
    for (const QString &h : headers)
        widths << h.size();
    for (const QStringList &r : rows)
        for (int i = 0; i < r.size() && i < widths.size(); ++i)
            widths[i] = qMax(widths[i], r.at(i).size());
    auto line = [&](const QStringList &cells) {
        QString s;
        for (int i = 0; i < headers.size(); ++i) {
            const QString c = cells.value(i);
            s += i + 1 < headers.size() ? c.leftJustified(widths[i]) + QStringLiteral("  ") : c;
        }
        m_out << s.trimmed() << '\n';
    };
    line(headers);
    for (const QStringList &r : rows)
        line(r);
    m_out.flush();
}

bool CliContext::openUserDatabase()
{
    if (m_db)
        return m_db->userDatabaseOpen();
    // TdmdMain's creation reads the configuration and opens udb.kdb; its
    // failures are reported through the seam (and a held file is one of them).
    m_db = std::make_unique<TdmdMain>();
    return !m_db->terminationRequested() && m_db->userDatabaseOpen();
}

bool CliContext::openAccounts()
{
    if (m_db->databaseOpen())
        return true;
    try {
        if (!m_db->OpenDatabase()) {
            if (m_db->databaseOpen())
                return true;
            // A missing file was reported by OpenDatabase itself; a table that
            // would not open is the caller's to report.
            if (QFileInfo::exists(m_db->CurrentDatabasePath().isEmpty() ? m_db->defaultDatabasePath()
                                                                         : m_db->CurrentDatabasePath()))
                ShowError(QStringLiteral("An error occurred while opening the Database."));
            m_db->OpenUserDatabase();   // keep the log writable
            return false;
        }
    } catch (const DatabaseError &) {
        ShowError(QStringLiteral("An error occurred while opening the Database."));
        m_db->OpenUserDatabase();
        return false;
    }
    m_db->setNeedsDatabase(false);
    return true;
}

bool CliContext::logIn()
{
    if (m_loggedIn)
        return true;
    const QString name = m_options.login;
    if (name.isEmpty()) {
        refuse(QStringLiteral("\"%1\" needs a login: --login NAME (password from KOVRA_PASSWORD or a prompt).")
                   .arg(m_command));
        return false;
    }
    const QString password = passwordFromEnvironment("KOVRA_PASSWORD", QStringLiteral("Password for %1: ").arg(name));

    LoginState &state = Login();
    state.ServiceLogin = false;
    int type = 0;
    if (password.size() >= kMinPasswordLength) {
        if (IsServiceLogin(name, password)) {
            state.ServiceLogin = true;
            type = ModeAdministrator;
        } else {
            type = m_db->LookupUser(name, StoredPassword(name, password));
        }
    }
    if (type == 0) {
        ShowTimedError(QStringLiteral("You have entered an invalid Password and/or Login name. Please remember "
                                      "that the Password and Login Name are case sensitive. Please try again."),
                       -5000);
        return false;
    }
    state.CurrentUserName = name;
    state.CurrentUserPassword = EncryptPassword(name, password);
    state.CurrentUserType = type;
    state.CurrentMode = type;
    if (!state.ServiceLogin)
        m_db->WriteLogEvent(0, name);

    switch (m_db->CheckPasswordExpiry()) {
    case PasswordExpiry::Valid:
        break;
    case PasswordExpiry::UserNotFound:
        ShowTimedError(UserNotFoundText(name), -5000);
        return false;
    case PasswordExpiry::Expired: {
        ShowInfo(QStringLiteral("Your Password has expired. Please change your Password."));
        // The forced change of the console, with the new password from
        // KOVRA_NEW_PASSWORD or a prompt; the same rules as its window.
        QString fresh;
        if (qEnvironmentVariableIsSet("KOVRA_NEW_PASSWORD")) {
            fresh = qEnvironmentVariable("KOVRA_NEW_PASSWORD");
        } else if (isatty(fileno(stdin))) {
            fresh = TerminalDialogs::readSecret(QStringLiteral("New password: "));
            if (TerminalDialogs::readSecret(QStringLiteral("New password re-entered for verification: ")) != fresh)
                fresh.clear();
        }
        if (fresh.size() < kMinPasswordLength || fresh == password) {
            ShowError(QStringLiteral("You did not change your Password. Access denied."));
            return false;
        }
        m_db->SetNewPassword(name, StoredPassword(name, fresh));
        state.CurrentUserPassword = EncryptPassword(name, fresh);
        m_db->WriteLogEvent(2, name);
        ShowTimedInfo(QStringLiteral("Your Password has been changed succesfully."), -5000);
        break;
    }
    }
    m_loggedIn = true;
    return true;
}

bool CliContext::allowed(CliAccess access, const QString &what)
{
    const int mode = Login().CurrentMode;
    bool ok = true;
    switch (access) {
    case CliAccess::None:
    case CliAccess::UserDatabase:
        break;
    case CliAccess::AnyUser:
        ok = mode == ModeSupervisor || mode == ModeAdministrator || mode == ModeUser;
        break;
    case CliAccess::Accounts:
        ok = mode == ModeAdministrator || mode == ModeUser;
        break;
    case CliAccess::Users:
        ok = mode == ModeSupervisor || mode == ModeAdministrator;
        break;
    case CliAccess::Administrator:
        ok = mode == ModeAdministrator;
        break;
    }
    if (!ok)
        refuse(QStringLiteral("\"%1\" is not available to the %2 role.").arg(what, roleName(mode)));
    return ok;
}

int CliContext::begin(CliAccess access, bool openAccountDatabase)
{
    if (access == CliAccess::None)
        return ExitOk;
    if (!openUserDatabase())
        return ExitRefused;
    if (access == CliAccess::UserDatabase)
        return ExitOk;
    if (!logIn())
        return ExitRefused;
    if (!allowed(access, m_command))
        return ExitRefused;
    if (openAccountDatabase && (access == CliAccess::Accounts || access == CliAccess::Administrator)
        && !openAccounts())
        return ExitRefused;
    return ExitOk;
}

bool TakeOption(QStringList &args, const QString &name, QString *value, bool *missingValue)
{
    const int i = args.indexOf(name);
    if (i < 0)
        return false;
    if (i + 1 >= args.size()) {
        if (missingValue)
            *missingValue = true;
        args.removeAt(i);
        return false;
    }
    *value = args.at(i + 1);
    args.remove(i, 2);
    return true;
}

bool TakeFlag(QStringList &args, const QString &name)
{
    return args.removeAll(name) > 0;
}

} // namespace kovra
