#pragma once
// What a programming run loads into the device link before each operation, from
// one account of the account database; and the account's option rows.
#include "KovraOptionRow.h"

#include <QSqlDatabase>
#include <QString>

namespace kovra {

class TdmdCommunication;

struct LinkSettings {
    bool found = false;          // the account exists
    QString AccountNumber;       // KovraAccount, subject of the audit events
    QString ModuleHost;          // KovraIP
    quint16 ModulePort = 3064;   // option 013, 3064 without the row
    bool hasInstallerCode = false;
    QString InstallerCode;       // option 006
    QString ExpectedVersion;     // option 326, empty when missing
    bool Encrypt = false;
    QString Key;                 // empty when not encrypted
};

// The session key from the values of options 004 and 005: a half counts only when
// it is not sixteen zero digits; neither counting means no encryption, no key.
void BuildSessionKey(const QString &key004, const QString &key005, bool *encrypt, QString *key);

LinkSettings LoadLinkSettings(const QSqlDatabase &db, int kovraId);
// Host, port, installer code (when the row exists), expected version, account.
void ApplyLinkSettings(TdmdCommunication &link, const LinkSettings &settings, int kovraId);

// The account's option rows in option-number order, validation codes from the
// catalogue table (empty for a number the catalogue does not hold).
KovraOptionList LoadOptionList(const QSqlDatabase &db, int kovraId);

// What the key window does after a successful key change: KovraKey and options
// 004/005 take the new key in one transaction. Returns false on a database error.
bool StoreEncryptionKey(const QSqlDatabase &db, int kovraId, const QString &newKey);

} // namespace kovra
