#pragma once
// The data module: both database connections (account database and user
// database), the shared queries, account and option persistence, the audit
// log, the database lifecycle and the configuration. No widgets.
//
// Engine errors surface as DatabaseError (Schema.h); every operation that
// changes several rows runs in one Transaction, so a failure leaves the
// database as it was.
#include "IniFile.h"
#include "Schema.h"
#include "UserStore.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace kovra {

// The values the account editor hands to the creation operations; all text.
struct AccountValues {
    QString accountNumber;   // KovraAccount, option 003
    QString key;             // KovraKey; options 004 (1..16) and 005 (17..32)
    QString moduleAddress;   // KovraIP, option 001
    QString receiver[3];     // Receiver1..3, options 007, 00B, 00F
    QString gateway[3];      // Receiver1Gateway..3, options 008, 00C, 010
    QString receiverPort[3]; // Receiver1Port..3
    QString installerCode;   // option 006
    QString remotePort;      // option 00A
    QString consolePort;     // option 013
    QString generationCode;  // "010".."014": catalogue; option 326
};

// Account values for a new account of that generation taken from the
// catalogue's defaults (key, addresses, installer code, ports).
AccountValues DefaultAccountValues(const QString &accountNumber, const QString &generationCode);

// Whether the account number may be used with this generation code or option 326 value.
bool IsAccountCodeValid(const QString &accountNumber, const QString &versionText);
// The decimal number left-padded with "0" to the width.
QString PadNumber(int number, int width);

// Audit event name and description for a code (X, Y the subject texts). Code
// 15 takes the current user's name. Unknown codes give two empty texts.
struct LogEventText {
    QString event;
    QString description;
};
LogEventText LogEventTexts(int code, const QString &x, const QString &y, const QString &currentUser);

class TdmdMain : public QObject {
    Q_OBJECT
public:
    // Creation as at start-up: sets the needs-database flag, reads the
    // configuration and opens the user database (see terminationRequested()).
    explicit TdmdMain(QObject *parent = nullptr);
    ~TdmdMain() override;   // CloseDatabase

    QSqlDatabase accountDatabase() const { return m_account; }
    QSqlDatabase userDatabase() const { return m_users; }

    // ---- lifecycle and configuration -------------------------------------
    void ReadConfiguration();
    // Writes the configuration; on failure shows the write-error notice and
    // returns false (the settings in memory stay in force).
    bool SaveConfiguration();
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }

    // Opens udb.kdb. A missing or unopenable file shows its error box and sets
    // terminationRequested(); the console then ends.
    bool OpenUserDatabase();
    // Opens the account database (CurrentDatabasePath, else DB/dbKovraConsole.kdb)
    // and the user database, and refills tblOptions. The caller clears the
    // needs-database flag after a successful open. Returns false when a file is missing (notice shown)
    // or a table cannot be opened. Throws DatabaseError when a connection cannot
    // be opened (another process holds the file); callers report it.
    bool OpenDatabase();
    // Closes both connections; errors are ignored. Nothing is logged afterwards
    // until OpenUserDatabase.
    void CloseDatabase();

    bool databaseOpen() const { return m_databaseOpen; }
    bool userDatabaseOpen() const { return m_userDatabaseOpen; }
    bool needsDatabase() const { return m_needsDatabase; }
    void setNeedsDatabase(bool needs) { m_needsDatabase = needs; }
    bool terminationRequested() const { return m_terminationRequested; }
    QString CurrentDatabasePath() const { return m_currentDatabasePath; }
    void SetCurrentDatabasePath(const QString &path) { m_currentDatabasePath = path; }
    QString userDatabasePath() const { return m_userDatabasePath; }
    QString defaultDatabasePath() const;   // installation folder + DB/dbKovraConsole.kdb

    // The generation the template table was filled for ("010".."014").
    QString templateGeneration() const { return m_templateGeneration; }
    void setTemplateGeneration(const QString &code) { m_templateGeneration = code; }

    // ---- accounts and options -------------------------------------------
    bool AccountExists(const QString &accountNumber);
    QString FindAccountId(const QString &accountNumber);   // decimal text or empty
    bool ReceiverExists(const QString &receiverAddress);
    QString GetReceiverPassword(const QString &receiverAddress);   // "B7D2" when unknown
    QString GetOptionValue(int accountId, const QString &optionNumber);
    QString GetAccountVersion(int accountId);
    void SetOptionValue(int accountId, const QString &optionNumber, const QString &value);
    void SetOptionValueById(int optionRowId, const QString &value);

    // Create an account; return its Kovra_ID.
    int AddDefaultOptions(const AccountValues &values);
    int AddTemplateOptions(const AccountValues &values, const QString &templateGeneration);
    // Move an account to another generation keeping its values; the id changes.
    // False (with "Could not copy Kovra." shown) for a code outside "011".."014".
    bool UpgradeAccount(int accountId, const QString &oldGeneration, int *newAccountId, const QString &newGeneration);
    bool RebuildAccount(const QString &accountNumber, const QString &temporaryNumber, int *newAccountId,
                        const QString &generationCode);
    // Removes the account and its option rows; logs event 111.
    void DeleteAccount(int accountId);
    int AccountCount();

    // Fills tblTemplate from the catalogue of the code (display numbers) and
    // makes it the template generation.
    void LoadTemplateCatalogue(const QString &generationCode);
    // Empties tblOptions and fills it from the 1.4x catalogue.
    void RefillOptionCatalogue();

    // ---- audit log ------------------------------------------------------
    // Appends one entry; nothing when the user database is closed.
    void WriteLogEvent(int code, const QString &x = QString(), const QString &y = QString());
    void DeleteLogEntry(int eventId);
    void DeleteAllLogEntries();
    int LogCount();

    // ---- users ----------------------------------------------------------
    bool VerifyPassword(const QString &loginName, const QString &storedPassword);
    int LookupUser(const QString &loginName, const QString &storedPassword);
    int AddUser(const UserRecord &user);
    void UpdateUser(int userId, const UserRecord &user);
    void DeleteUser(int userId);
    // Changes the current user's password (stored form) with expiry = today + VALIDITY.
    int SetNewPassword(const QString &loginName, const QString &storedPassword);
    // The decision after a login for the current user; shows "Cannot locate
    // User Name ..." when the row is missing.
    PasswordExpiry CheckPasswordExpiry();

signals:
    void accountsChanged();
    void receiversChanged();
    void usersChanged();
    void logChanged();

private:
    int insertAccountRow(const AccountValues &values, const QString receivers[3], const QString gateways[3]);

    QString m_accountConnection;
    QString m_userConnection;
    QSqlDatabase m_account;
    QSqlDatabase m_users;
    Settings m_settings;
    QString m_currentDatabasePath;
    QString m_userDatabasePath;
    QString m_templateGeneration = QStringLiteral("014");
    bool m_databaseOpen = false;
    bool m_userDatabaseOpen = false;
    bool m_needsDatabase = true;
    bool m_terminationRequested = false;
};

} // namespace kovra
