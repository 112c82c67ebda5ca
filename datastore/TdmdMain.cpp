#include "TdmdMain.h"

#include "KovraHome.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "MessageDialogs.h"

#include <QDateTime>
#include <QFileInfo>
#include <atomic>

namespace kovra {

namespace {
std::atomic<int> g_instance{0};
}

TdmdMain::TdmdMain(QObject *parent) : QObject(parent)
{
    // Connection names are unique per instance: tests and tools create several.
    const int n = ++g_instance;
    m_accountConnection = QStringLiteral("kovra_account_%1").arg(n);
    m_userConnection = QStringLiteral("kovra_users_%1").arg(n);
    m_account = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_accountConnection);
    m_users = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_userConnection);

    m_needsDatabase = true;
    ReadConfiguration();
    OpenUserDatabase();
}

TdmdMain::~TdmdMain()
{
    CloseDatabase();
    m_account = QSqlDatabase();
    m_users = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_accountConnection);
    QSqlDatabase::removeDatabase(m_userConnection);
}

void TdmdMain::ReadConfiguration() { m_settings = ReadSettings(ConfigFilePath()); }

bool TdmdMain::SaveConfiguration()
{
    if (SaveSettings(m_settings, ConfigFilePath()))
        return true;
    ShowTimedError(WriteErrorText(), -5000);
    return false;
}

QString TdmdMain::defaultDatabasePath() const { return HomePath(QStringLiteral("DB/dbKovraConsole.kdb")); }

bool TdmdMain::OpenUserDatabase()
{
    m_userDatabasePath = HomePath(QStringLiteral("udb.kdb"));
    if (!QFileInfo(m_userDatabasePath).isFile()) {
        ShowError(QStringLiteral("User Database is missing. Please re-install the Kovra Console."));
        m_terminationRequested = true;
        return false;
    }
    m_userDatabaseOpen = false;
    try {
        OpenExclusive(m_users, m_userDatabasePath);
    } catch (const DatabaseError &) {
        ShowError(QStringLiteral("An error occured while opening the user database. Application will terminate."));
        m_terminationRequested = true;
        return false;
    }
    if (!HasSchema(m_users, DatabaseKind::User)) {
        ShowTimedError(QStringLiteral("This is not a Kovra Database file."), -5000);
        CloseDatabase();
        return false;
    }
    m_userDatabaseOpen = true;
    emit usersChanged();
    emit logChanged();
    return true;
}

bool TdmdMain::OpenDatabase()
{
    const QString accountPath = m_currentDatabasePath.isEmpty() ? defaultDatabasePath() : m_currentDatabasePath;
    m_userDatabasePath = HomePath(QStringLiteral("udb.kdb"));
    if (!QFileInfo(accountPath).isFile() || !QFileInfo(m_userDatabasePath).isFile()) {
        ShowTimedError(QStringLiteral("Kovra Console Database File ") + accountPath +
                           QStringLiteral(" doesn't exist. Please Restore Database File First."),
                       10000);
        m_databaseOpen = false;
        m_account.close();
        emit accountsChanged();
        emit receiversChanged();
        return false;
    }
    m_currentDatabasePath = accountPath;
    m_databaseOpen = false;
    m_userDatabaseOpen = false;
    m_account.close();
    m_users.close();
    // Connection failures (locked by another process, not a database) reach the caller.
    OpenExclusive(m_users, m_userDatabasePath);
    try {
        OpenExclusive(m_account, accountPath);
    } catch (const DatabaseError &) {
        m_users.close();
        throw;
    }
    if (!HasSchema(m_account, DatabaseKind::Account) || !HasSchema(m_users, DatabaseKind::User)) {
        CloseDatabase();
        return false;
    }
    m_databaseOpen = true;
    m_userDatabaseOpen = true;
    RefillOptionCatalogue();
    if (MainWindowHooks *w = MainWindow(); w && w->mode() == ModeNoDatabase)
        w->setMode(ModeUnknown);
    emit accountsChanged();
    emit receiversChanged();
    emit usersChanged();
    emit logChanged();
    return true;
}

void TdmdMain::CloseDatabase()
{
    m_account.close();
    m_users.close();
    m_databaseOpen = false;
    m_userDatabaseOpen = false;
}

// ---- audit log -------------------------------------------------------------

LogEventText LogEventTexts(int code, const QString &x, const QString &y, const QString &currentUser)
{
    auto t = [](const char *event, const QString &description) {
        return LogEventText{QString::fromLatin1(event), description};
    };
    const QString kovraAccount = QStringLiteral("Kovra Account ");
    const QString ipReceiver = QStringLiteral("IP Receiver ");
    switch (code) {
    case 0: return t("User Login", "User " + x + " logged in");
    case 1: return t("User Logout", "User " + x + " logged out");
    case 2: return t("User Password Change", "User " + x + " changed password");
    case 3: return t("Mode - Supervisor", QStringLiteral("Mode - Supervisor"));
    case 4: return t("Mode - Administrator", QStringLiteral("Mode - Administrator"));
    case 5: return t("Mode - User", QStringLiteral("Mode - User"));
    case 6: return t("Mode - Unattended", QStringLiteral("Mode - Unattended"));
    case 8: return t("Database Restore", "Database " + x + " restored");
    case 9: return t("Database Backup", "Database " + x + " backed up");
    case 10: return t("Configuration Change", QStringLiteral("Configuration Changed"));
    case 11: return t("Auto-Logout", QStringLiteral("Auto-Logout"));
    case 12: return t("New User Added", "New User - " + x + " added");
    case 13: return t("Edit User's data", "User " + x + " data edited");
    case 14: return t("User Deleted", "User - " + x + " deleted");
    case 15: return t("Application Closed", "Application closed by " + currentUser);
    case 105: return t("Kovra Programming Start", "Kovra Programming " + x + " started");
    case 106: return t("Kovra Programming Finish", "Kovra Programming " + x + " finished");
    case 107: return t("Kovra Programming Failed", "Kovra Programming " + x + " failed");
    case 108: return t("Code Upload", "Kovra " + x + " code uploaded");
    case 109: return t("Kovra Account Create", kovraAccount + x + " created");
    case 110: return t("Kovra Account Edit", kovraAccount + x + " edited");
    case 111: return t("Kovra Account Delete", kovraAccount + x + " deleted");
    case 112: return t("IP Receiver Added", ipReceiver + x + " added");
    case 113: return t("IP Receiver Edited", ipReceiver + x + " edited");
    case 114: return t("IP Receiver Deleted", ipReceiver + x + " deleted");
    case 115: return t("Receiver Kovra Table Edit", ipReceiver + x + " Kovra table edited");
    case 116: return t("IP Receiver Update", ipReceiver + x + " updated");
    case 118: return t("Kovra Account Export", kovraAccount + x + " exported");
    case 119: return t("Kovra Account Import", kovraAccount + x + " imported");
    case 120: return t("Receiver Kovra Table Edit", ipReceiver + x + " Kovra " + y + " added to the table");
    case 121: return t("Receiver Kovra Table Edit", ipReceiver + x + " Kovra " + y + " deleted from the table");
    case 122: return t("Receiver Kovra Table Edit", ipReceiver + x + " " + "Kovra table set.");
    default: return LogEventText{};
    }
}

void TdmdMain::WriteLogEvent(int code, const QString &x, const QString &y)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString user = Login().CurrentUserName;
    const LogEventText text = LogEventTexts(code, x, y, user);
    if (!m_userDatabaseOpen)
        return;
    RunSql(m_users,
           QStringLiteral("INSERT INTO tblLog (EventTime, \"User\", Event, EventDescription) VALUES (?, ?, ?, ?)"),
           {now.toString(Qt::ISODate), Text(user), Text(text.event), Text(text.description)});
    emit logChanged();
}

void TdmdMain::DeleteLogEntry(int eventId)
{
    RunSql(m_users, QStringLiteral("DELETE FROM tblLog WHERE Event_ID = ?"), {eventId});
    emit logChanged();
}

void TdmdMain::DeleteAllLogEntries()
{
    RunSql(m_users, QStringLiteral("DELETE FROM tblLog"));
    emit logChanged();
}

int TdmdMain::LogCount()
{
    QSqlQuery q = RunSql(m_users, QStringLiteral("SELECT count(*) FROM tblLog"));
    return q.next() ? q.value(0).toInt() : 0;
}

// ---- users -----------------------------------------------------------------

bool TdmdMain::VerifyPassword(const QString &loginName, const QString &storedPassword)
{
    return kovra::VerifyPassword(m_users, loginName, storedPassword);
}

int TdmdMain::LookupUser(const QString &loginName, const QString &storedPassword)
{
    return kovra::LookupUser(m_users, loginName, storedPassword);
}

int TdmdMain::AddUser(const UserRecord &user)
{
    const int id = kovra::AddUser(m_users, user);
    emit usersChanged();
    return id;
}

void TdmdMain::UpdateUser(int userId, const UserRecord &user)
{
    kovra::UpdateUser(m_users, userId, user);
    emit usersChanged();
}

void TdmdMain::DeleteUser(int userId)
{
    RunSql(m_users, QStringLiteral("DELETE FROM tblUser WHERE User_ID = ?"), {userId});
    emit usersChanged();
}

int TdmdMain::SetNewPassword(const QString &loginName, const QString &storedPassword)
{
    const int rows = kovra::SetNewPassword(m_users, loginName, storedPassword, m_settings.validity);
    emit usersChanged();
    return rows;
}

PasswordExpiry TdmdMain::CheckPasswordExpiry()
{
    const LoginState &login = Login();
    const PasswordExpiry r = kovra::CheckPasswordExpiry(m_users, login.CurrentUserName, login.ServiceLogin,
                                                        m_settings.noPasswordExpire);
    if (r == PasswordExpiry::UserNotFound)
        ShowTimedError(UserNotFoundText(login.CurrentUserName), -5000);
    return r;
}

} // namespace kovra
