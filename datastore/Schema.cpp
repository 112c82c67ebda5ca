#include "Schema.h"

#include <QFileInfo>
#include <QSqlError>
#include <atomic>

namespace kovra {

namespace {

// A text column of the given width; the CHECK makes the engine refuse longer texts.
QString text(const char *name, int width, bool noCase = false)
{
    return QStringLiteral("%1 TEXT%2 CHECK(%1 IS NULL OR length(%1) <= %3)")
        .arg(QLatin1String(name), noCase ? QStringLiteral(" COLLATE NOCASE") : QString())
        .arg(width);
}

QString key(const char *name)
{
    return QStringLiteral("%1 INTEGER PRIMARY KEY AUTOINCREMENT").arg(QLatin1String(name));
}

QString table(const char *name, const QStringList &columns)
{
    return QStringLiteral("CREATE TABLE %1 (\n  %2\n)").arg(QLatin1String(name), columns.join(QStringLiteral(",\n  ")));
}

QStringList catalogueColumns()
{
    // OptionDescription is 80 wide: option 041's description has 76 characters.
    return {text("OptionNumber", 3, true), text("OptionName", 30), text("OptionPanelType", 2),
            text("OptionTypeValidation", 2), text("OptionDefault", 64), text("OptionEffect", 20),
            text("OptionDescription", 80)};
}

} // namespace

QStringList SchemaStatements(DatabaseKind kind)
{
    if (kind == DatabaseKind::User) {
        return {
            table("tblUser", {key("User_ID"), text("UserLoginName", 30, true), text("UserFirstName", 35),
                              text("UserLastName", 50), text("UserPassword", 64, true),
                              QStringLiteral("UserExpireDate TEXT"), QStringLiteral("UserNew INTEGER"),
                              QStringLiteral("UserType INTEGER"), text("UserTypeAuth", 64)}),
            table("tblLog", {key("Event_ID"), QStringLiteral("EventTime TEXT"), text("User", 30),
                             text("Event", 200), text("EventDescription", 255)}),
        };
    }
    return {
        table("tblKovra",
              {key("Kovra_ID"), text("KovraAccount", 10, true), text("KovraIP", 15), text("KovraKey", 32),
               text("KovraMAC", 12), text("Receiver1", 15, true), text("Receiver2", 15, true),
               text("Receiver3", 15, true), text("Receiver1Gateway", 50), text("Receiver2Gateway", 50),
               text("Receiver3Gateway", 50), text("Receiver1Port", 50), text("Receiver2Port", 50),
               text("Receiver3Port", 50)}),
        table("tblKovraOptions",
              {key("KovraOption_ID"), QStringLiteral("Kovra_ID INTEGER"), text("OptionNumber", 3, true),
               text("KovraOptionOldValue", 64), text("KovraOptionValue", 64), text("KovraOptionTempValue", 64)}),
        QStringLiteral("CREATE INDEX idxKovraOptionsAccount ON tblKovraOptions (Kovra_ID, OptionNumber)"),
        QStringLiteral("CREATE INDEX idxKovraAccount ON tblKovra (KovraAccount)"),
        table("tblReceiver",
              {key("Receiver_ID"), text("ReceiverIP", 15, true), text("ReceiverName", 50),
               QStringLiteral("ReceiverType INTEGER"), text("ReceiverDescription", 120),
               text("ReceiverPassword", 4), QStringLiteral("ReceiverPort INTEGER")}),
        table("tblOptions", catalogueColumns()),
        table("tblTemplate", catalogueColumns()),
    };
}

QStringList SchemaTables(DatabaseKind kind)
{
    if (kind == DatabaseKind::User)
        return {QStringLiteral("tblUser"), QStringLiteral("tblLog")};
    return {QStringLiteral("tblKovra"), QStringLiteral("tblKovraOptions"), QStringLiteral("tblReceiver"),
            QStringLiteral("tblOptions"), QStringLiteral("tblTemplate")};
}

void CreateSchema(QSqlDatabase db, DatabaseKind kind)
{
    Transaction t(db);
    for (const QString &sql : SchemaStatements(kind))
        RunSql(db, sql);
    t.commit();
}

bool HasSchema(QSqlDatabase db, DatabaseKind kind)
{
    for (const QString &name : SchemaTables(kind)) {
        QSqlQuery q(db);
        // A real read, so a damaged file or a missing table both count as "cannot open".
        if (!q.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(name)))
            return false;
    }
    return true;
}

QString UserTypeName(int userType)
{
    switch (userType) {
    case 1: return QStringLiteral("Supervisor");
    case 2: return QStringLiteral("Administrator");
    case 3: return QStringLiteral("User");
    default: return QString();
    }
}

QString ReceiverTypeName(int receiverType)
{
    switch (receiverType) {
    case 1: return QStringLiteral("Brenta");
    case 2: return QStringLiteral("KV5 Server V1");
    default: return QString();
    }
}

QString UserTypeNameSql(const QString &column)
{
    return QStringLiteral("CASE %1 WHEN 1 THEN 'Supervisor' WHEN 2 THEN 'Administrator' "
                          "WHEN 3 THEN 'User' ELSE '' END AS UserTypeName")
        .arg(column);
}

QString ReceiverTypeNameSql(const QString &column)
{
    return QStringLiteral("CASE %1 WHEN 1 THEN 'Brenta' WHEN 2 THEN 'KV5 Server V1' ELSE '' END AS ReceiverTypeName")
        .arg(column);
}

QString UserListSelect()
{
    return QStringLiteral("SELECT *, %1 FROM tblUser WHERE UserType<>1 ORDER BY User_ID").arg(UserTypeNameSql());
}

QString ReceiverListSelect()
{
    return QStringLiteral("SELECT *, %1 FROM tblReceiver ORDER BY Receiver_ID").arg(ReceiverTypeNameSql());
}

void OpenExclusive(QSqlDatabase &db, const QString &path)
{
    if (db.isOpen())
        db.close();
    if (!QFileInfo(path).isFile())
        throw DatabaseError(QStringLiteral("Database file %1 does not exist.").arg(path));
    db.setDatabaseName(path);
    // Fail at once when another process holds the file rather than waiting for it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    if (!db.open())
        throw DatabaseError(db.lastError().text());
    QSqlQuery q(db);
    // Write-ahead log without shared memory (exclusive mode): each commit is
    // atomic and needs one short log append instead of flushing the file; a
    // power cut may lose the last commits but never leaves half of one.
    // Closing folds the log back, so a closed .kdb is complete on its own.
    const char *steps[] = {"PRAGMA locking_mode=EXCLUSIVE", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
                           "BEGIN EXCLUSIVE", "SELECT count(*) FROM sqlite_master", "COMMIT"};
    for (const char *sql : steps) {
        if (!q.exec(QLatin1String(sql))) {
            const QString err = q.lastError().text();
            q.finish();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
            throw DatabaseError(err.isEmpty() ? QStringLiteral("The database could not be opened.") : err);
        }
        q.finish();
    }
}

QSqlQuery RunSql(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DatabaseError(q.lastError().text());
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        throw DatabaseError(q.lastError().text());
    return q;
}

namespace {
std::atomic<int> g_savepoint{0};
}

Transaction::Transaction(QSqlDatabase db) : m_db(db)
{
    m_name = QStringLiteral("kovra_sp%1").arg(++g_savepoint);
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SAVEPOINT ") + m_name))
        throw DatabaseError(q.lastError().text());
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("ROLLBACK TO ") + m_name);
    q.exec(QStringLiteral("RELEASE ") + m_name);
}

void Transaction::commit()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("RELEASE ") + m_name))
        throw DatabaseError(q.lastError().text());
    m_done = true;
}

} // namespace kovra
