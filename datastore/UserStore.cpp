#include "UserStore.h"

#include "Cipher.h"
#include "Schema.h"
#include "ServiceLoginValue.h"   // generated at build time: name and 16 cipher bytes only

#include <QSqlRecord>

namespace kovra {

QString HexConvert(int direction, const QString &text)
{
    if (direction == 0)
        return QString::fromLatin1(text.toLatin1().toHex().toUpper());
    return QString::fromLatin1(HexToBytes(text));
}

QByteArray HexToBytes(const QString &hex)
{
    if (hex.size() % 2 != 0)
        return QByteArray();
    return QByteArray::fromHex(hex.toLatin1());
}

QByteArray EncryptPassword(const QString &loginName, const QString &password)
{
    QByteArray bytes = password.toUtf8();
    CipherMessage(CipherMode::Encrypt, MakePasswordKey(loginName), bytes);
    return bytes;
}

QString DecryptPassword(const QString &loginName, const QByteArray &cipher)
{
    if (cipher.isEmpty() || cipher.size() % 16 != 0)
        return QString();
    QByteArray bytes = cipher;
    CipherMessage(CipherMode::Decrypt, MakePasswordKey(loginName), bytes);
    const int zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}

QString StoredPassword(const QString &loginName, const QString &password)
{
    return QString::fromLatin1(EncryptPassword(loginName, password).toHex().toUpper());
}

QString MakeTypeAuth(const QString &loginName, int userType)
{
    return StoredPassword(loginName, QString::number(userType));
}

bool CheckTypeAuth(const QString &loginName, const QString &typeAuth, int userType)
{
    const QString text = DecryptPassword(loginName, HexToBytes(typeAuth));
    bool ok = false;
    const int decoded = text.toInt(&ok);
    return ok && decoded == userType;
}

QString ServiceLoginName() { return QString::fromUtf8(kServiceLoginName); }

bool IsServiceLogin(const QString &loginName, const QString &password)
{
    if (loginName != ServiceLoginName())
        return false;
    const QByteArray expected(reinterpret_cast<const char *>(kServiceLoginCipher), 16);
    return EncryptPassword(loginName, password) == expected;
}

bool VerifyPassword(QSqlDatabase users, const QString &loginName, const QString &storedPassword)
{
    QSqlQuery q = RunSql(users,
                         QStringLiteral("SELECT User_ID, UserLoginName, UserPassword, UserType FROM tblUser "
                                        "WHERE UserLoginName = ? AND UserPassword = ? COLLATE BINARY"),
                         {Text(loginName), Text(storedPassword)});
    return q.next();
}

int LookupUser(QSqlDatabase users, const QString &loginName, const QString &storedPassword)
{
    // The engine matches regardless of case; the login demands exact texts.
    QSqlQuery q = RunSql(users,
                         QStringLiteral("SELECT UserLoginName, UserPassword, UserType, UserTypeAuth FROM tblUser "
                                        "WHERE UserLoginName = ? AND UserPassword = ? ORDER BY User_ID"),
                         {Text(loginName), Text(storedPassword)});
    while (q.next()) {
        if (q.value(0).toString() != loginName || q.value(1).toString() != storedPassword)
            continue;
        const int type = q.value(2).toInt();
        return CheckTypeAuth(loginName, q.value(3).toString(), type) ? type : 0;
    }
    return 0;
}

bool UserLoginExists(QSqlDatabase users, const QString &loginName)
{
    QSqlQuery q = RunSql(users, QStringLiteral("SELECT UserLoginName FROM tblUser WHERE UserLoginName = ?"),
                         {Text(loginName)});
    while (q.next())
        if (q.value(0).toString() == loginName)
            return true;
    return false;
}

int AddUser(QSqlDatabase users, const UserRecord &u)
{
    QSqlQuery q = RunSql(users,
                         QStringLiteral("INSERT INTO tblUser (UserLoginName, UserFirstName, UserLastName, UserPassword, "
                                        "UserExpireDate, UserNew, UserType, UserTypeAuth) VALUES (?,?,?,?,?,1,?,?)"),
                         {Text(u.UserLoginName), Text(u.UserFirstName), Text(u.UserLastName),
                          StoredPassword(u.UserLoginName, u.password), u.UserExpireDate.toString(Qt::ISODate),
                          u.UserType, MakeTypeAuth(u.UserLoginName, u.UserType)});
    return q.lastInsertId().toInt();
}

void UpdateUser(QSqlDatabase users, int userId, const UserRecord &u)
{
    RunSql(users,
           QStringLiteral("UPDATE tblUser SET UserFirstName = ?, UserLastName = ?, UserType = ?, UserExpireDate = ?, "
                          "UserPassword = ?, UserTypeAuth = ? WHERE User_ID = ?"),
           {Text(u.UserFirstName), Text(u.UserLastName), u.UserType, u.UserExpireDate.toString(Qt::ISODate),
            StoredPassword(u.UserLoginName, u.password), MakeTypeAuth(u.UserLoginName, u.UserType), userId});
}

int SetNewPassword(QSqlDatabase users, const QString &loginName, const QString &storedPassword, int validityDays,
                   const QDate &today)
{
    // Exact name: login names differing only in case are different users, and a
    // password change must touch only the logged-in user's row.
    QSqlQuery q = RunSql(users,
                         QStringLiteral("UPDATE tblUser SET UserPassword = ?, UserExpireDate = ? "
                                        "WHERE UserLoginName = ? COLLATE BINARY"),
                         {Text(storedPassword), today.addDays(validityDays).toString(Qt::ISODate), Text(loginName)});
    return q.numRowsAffected();
}

QDate ReadStoredDate(const QVariant &value)
{
    const QString s = value.toString();
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    return d;
}

PasswordExpiry CheckPasswordExpiry(QSqlDatabase users, const QString &loginName, bool serviceLogin,
                                   bool noPasswordExpire, const QDate &today)
{
    if (serviceLogin || noPasswordExpire)
        return PasswordExpiry::Valid;
    QSqlQuery q = RunSql(users,
                         QStringLiteral("SELECT User_ID, UserLoginName, UserExpireDate FROM tblUser "
                                        "WHERE UserLoginName = ? ORDER BY User_ID"),
                         {Text(loginName)});
    while (q.next()) {
        if (q.value(1).toString() != loginName)
            continue;
        const QDate expires = ReadStoredDate(q.value(2));
        return expires.isValid() && expires > today ? PasswordExpiry::Valid : PasswordExpiry::Expired;
    }
    // Rows that match only regardless of case are someone else's.
    return PasswordExpiry::UserNotFound;
}

QString UserNotFoundText(const QString &loginName)
{
    return QStringLiteral("Cannot locate User Name ") + loginName + QStringLiteral(".") +
           QStringLiteral(" Please try to Compact and Repair or Restore the Database.");
}

} // namespace kovra
