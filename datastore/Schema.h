#pragma once
// Tables of the account database and the user database, the engine helpers
// every data-store operation uses, and the calculated type names.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

namespace kovra {

// An error raised by the database engine. Operations let it reach the command
// handler that started the work; any Transaction in between has rolled back.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

enum class DatabaseKind { Account, User };

// CREATE statements of every table of that database. Text widths are CHECK
// constraints, so an over-long text is refused, never cut.
QStringList SchemaStatements(DatabaseKind kind);
QStringList SchemaTables(DatabaseKind kind);
// Creates every table; throws DatabaseError.
void CreateSchema(QSqlDatabase db, DatabaseKind kind);
// Whether every table of that kind exists in the open database.
bool HasSchema(QSqlDatabase db, DatabaseKind kind);

// Calculated fields: "Supervisor"/"Administrator"/"User" for 1..3, "Brenta"/
// "KV5 Server V1" for 1..2, empty for any other code.
QString UserTypeName(int userType);
QString ReceiverTypeName(int receiverType);
// The same as SQL expressions named UserTypeName / ReceiverTypeName, for the
// SELECTs behind the grids.
QString UserTypeNameSql(const QString &column = QStringLiteral("UserType"));
QString ReceiverTypeNameSql(const QString &column = QStringLiteral("ReceiverType"));
// The user list as the main window shows it: Supervisors never appear.
QString UserListSelect();
QString ReceiverListSelect();

// Opens an SQLite connection for exclusive use: the lock is taken here, not at
// the first write, so a second process can neither read nor write the file.
// The file must exist (SQLite would otherwise create it). Throws DatabaseError.
void OpenExclusive(QSqlDatabase &db, const QString &path);

// Prepares and runs a statement with positional values; throws DatabaseError.
QSqlQuery RunSql(QSqlDatabase db, const QString &sql, const QVariantList &values = {});
// Text for binding: never NULL, so an empty value stays an empty text.
inline QVariant Text(const QString &s) { return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s); }

// A transaction on one connection. Nested scopes become savepoints, so an
// operation that runs in its own transaction may be called inside another.
// Destroyed without commit() it rolls back.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();   // throws DatabaseError

private:
    QSqlDatabase m_db;
    QString m_name;
    bool m_done = false;
};

} // namespace kovra
