#include "Installation.h"

#include "IniFile.h"
#include "Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <atomic>

namespace kovra {

namespace {

std::atomic<int> g_connection{0};

QString createDatabase(const QString &path, DatabaseKind kind)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(path));
    const QString name = QStringLiteral("kovra_create_%1").arg(++g_connection);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            error = QStringLiteral("Cannot create %1.").arg(QDir::toNativeSeparators(path));
        } else {
            try {
                CreateSchema(db, kind);
            } catch (const DatabaseError &e) {
                error = QStringLiteral("Cannot create %1: %2").arg(QDir::toNativeSeparators(path), e.text());
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        QFile::remove(path);
    return error;
}

} // namespace

QString CreateUserDatabaseFile(const QString &path) { return createDatabase(path, DatabaseKind::User); }
QString CreateAccountDatabaseFile(const QString &path) { return createDatabase(path, DatabaseKind::Account); }

QString CreateInstallation(const QString &folder)
{
    QDir dir(folder);
    if (dir.exists(QStringLiteral("udb.kdb")))
        return QStringLiteral("An installation already exists in %1 (udb.kdb is present).")
            .arg(QDir::toNativeSeparators(dir.absolutePath()));
    if (!dir.mkpath(QStringLiteral(".")))
        return QStringLiteral("Cannot create the folder %1.").arg(QDir::toNativeSeparators(folder));
    for (const char *sub : {"DB", "Export", "Import", "UPLOAD"})
        if (!dir.mkpath(QLatin1String(sub)))
            return QStringLiteral("Cannot create the folder %1.")
                .arg(QDir::toNativeSeparators(dir.filePath(QLatin1String(sub))));

    const QString bdb = dir.filePath(QStringLiteral("bdb"));
    const QString accounts = dir.filePath(QStringLiteral("DB/dbKovraConsole.kdb"));
    if (!QFileInfo::exists(bdb)) {
        const QString e = CreateAccountDatabaseFile(bdb);
        if (!e.isEmpty())
            return e;
    }
    if (!QFileInfo::exists(accounts) && !QFile::copy(bdb, accounts))
        return QStringLiteral("Cannot create %1.").arg(QDir::toNativeSeparators(accounts));
    const QString ini = dir.filePath(QStringLiteral("KOVRACONSOLE.INI"));
    if (!QFileInfo::exists(ini)) {
        QString error;
        if (!WriteDefaultSettings(ini, &error))
            return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(ini), error);
    }
    // The user database last: its presence marks a complete installation.
    return CreateUserDatabaseFile(dir.filePath(QStringLiteral("udb.kdb")));
}

} // namespace kovra
