#pragma once
// Console users: password keys, the stored (enciphered) forms of passwords and
// user types, the user lookup of the login, password changes and expiry.
// UI-free; the windows of the login and user management build on these.
#include <QByteArray>
#include <QDate>
#include <QSqlDatabase>
#include <QString>

namespace kovra {

// Fixed for every run: stored passwords depend on it.
constexpr unsigned char kPasswordKeyMask = 0x5A;

// 32 hex digits derived from the login name; empty for an empty name. Inline so
// the build-time generator of the service login's value shares it.
inline QString MakePasswordKey(const QString &loginName)
{
    if (loginName.isEmpty())
        return QString();
    QString s = loginName;
    while (s.size() < 32)
        s += loginName;
    QByteArray key(16, '\0');
    for (int i = 0; i < 16; ++i) {
        const unsigned char b = static_cast<unsigned char>(s.at(i).unicode() & 0xFF) ^ kPasswordKeyMask;
        key[(i + 1) % 16] = static_cast<char>(b);   // 16th result first, then 1st .. 15th
    }
    return QString::fromLatin1(key.toHex().toUpper());
}

// direction 0: every byte as two upper-case hex digits; 1: pairs back to bytes,
// empty for an odd length. Texts are taken byte for byte (Latin-1).
QString HexConvert(int direction, const QString &text);
QByteArray HexToBytes(const QString &hex);   // empty for odd length

// Raw cipher bytes of a password (or any text) under the user key of the name.
QByteArray EncryptPassword(const QString &loginName, const QString &password);
// Deciphered text up to its first zero byte.
QString DecryptPassword(const QString &loginName, const QByteArray &cipher);
// Stored form: upper-case hex of EncryptPassword.
QString StoredPassword(const QString &loginName, const QString &password);
// UserTypeAuth of a type: the decimal text of the type, stored like a password.
QString MakeTypeAuth(const QString &loginName, int userType);
// Whether the stored UserTypeAuth deciphers to exactly this type.
bool CheckTypeAuth(const QString &loginName, const QString &typeAuth, int userType);

// The built-in service login (name and cipher value fixed at build time).
bool IsServiceLogin(const QString &loginName, const QString &password);
QString ServiceLoginName();

// Whether a tblUser row has this login name (any case) and exactly this stored text.
bool VerifyPassword(QSqlDatabase users, const QString &loginName, const QString &storedPassword);
// The user type for the login name and stored password text, both compared with
// case, with the type check; 0 when not admitted.
int LookupUser(QSqlDatabase users, const QString &loginName, const QString &storedPassword);

struct UserRecord {
    QString UserLoginName;
    QString UserFirstName;
    QString UserLastName;
    QString password;        // clear text; stored enciphered
    int UserType = 3;
    QDate UserExpireDate;
};

// A user row with this exact login name (compared with case) exists.
bool UserLoginExists(QSqlDatabase users, const QString &loginName);
// New row with UserNew set; returns User_ID. Throws DatabaseError.
int AddUser(QSqlDatabase users, const UserRecord &user);
// Edit: names, type, expiry, password and type check recomputed. Throws DatabaseError.
void UpdateUser(QSqlDatabase users, int userId, const UserRecord &user);
// Password change of the user with exactly this login name: stored text and
// expiry = today + validity days. Returns the rows changed. Throws DatabaseError.
int SetNewPassword(QSqlDatabase users, const QString &loginName, const QString &storedPassword,
                   int validityDays, const QDate &today = QDate::currentDate());

enum class PasswordExpiry { Valid, Expired, UserNotFound };
// The expiry decision after a login: service login or NOPASSWORDEXPIRE accept;
// otherwise the row of exactly this login name must expire after today. Shows
// nothing; the caller shows the notices.
PasswordExpiry CheckPasswordExpiry(QSqlDatabase users, const QString &loginName, bool serviceLogin,
                                   bool noPasswordExpire, const QDate &today = QDate::currentDate());
// "Cannot locate User Name NAME. Please try to Compact and Repair or Restore the Database."
QString UserNotFoundText(const QString &loginName);

// Dates in the user table are ISO text "yyyy-MM-dd".
QDate ReadStoredDate(const QVariant &value);

} // namespace kovra
