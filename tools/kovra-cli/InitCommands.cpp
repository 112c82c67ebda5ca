// init DIR, status
#include "CliContext.h"

#include "Installation.h"
#include "KovraHome.h"
#include "MessageDialogs.h"
#include "Schema.h"
#include "TdmdMain.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

namespace kovra {
namespace {

struct Item {
    const char *name;
    bool folder;
};
const Item kContents[] = {
    {"udb.kdb", false}, {"bdb", false},     {"DB/dbKovraConsole.kdb", false}, {"KOVRACONSOLE.INI", false},
    {"DB", true},       {"Export", true},   {"Import", true},                 {"UPLOAD", true},
};

int countRows(QSqlDatabase db, const char *table)
{
    QSqlQuery q = RunSql(db, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table)));
    return q.next() ? q.value(0).toInt() : 0;
}

} // namespace

int RunInitCommand(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--")))
        return ctx.usage(QStringLiteral("init DIR"));
    const QString folder = QDir(args.first()).absolutePath();
    const QString error = CreateInstallation(folder);
    if (!error.isEmpty())
        return ctx.refuse(error);
    ctx.out() << "Created installation folder " << QDir::toNativeSeparators(folder) << '\n';
    for (const Item &i : kContents)
        ctx.out() << "  " << i.name << (i.folder ? "/" : "") << '\n';
    return ExitOk;
}

int RunStatusCommand(CliContext &ctx, const QStringList &args)
{
    if (!args.isEmpty())
        return ctx.usage(QStringLiteral("status"));
    const QString home = ctx.options().home;
    ctx.out() << "Installation folder: " << QDir::toNativeSeparators(home) << '\n';
    QList<QStringList> rows;
    for (const Item &i : kContents) {
        const QFileInfo fi(home + QLatin1Char('/') + QLatin1String(i.name));
        const bool present = i.folder ? fi.isDir() : fi.isFile();
        rows << QStringList{QLatin1String(i.name) + (i.folder ? "/" : ""),
                            present ? (i.folder ? QStringLiteral("present") : QString::number(fi.size()) + " bytes")
                                    : QStringLiteral("missing")};
    }
    ctx.printTable({QStringLiteral("Item"), QStringLiteral("State")}, rows);
    if (!QFileInfo(home + QStringLiteral("/udb.kdb")).isFile())
        return ctx.refuse(QStringLiteral("No installation in %1: run \"kovra-cli init %1\" first.")
                              .arg(QDir::toNativeSeparators(home)));

    if (int rc = ctx.begin(CliAccess::UserDatabase))
        return rc;
    TdmdMain &dm = ctx.db();
    ctx.out() << "Users: " << countRows(dm.userDatabase(), "tblUser") << '\n';
    ctx.out() << "Log entries: " << dm.LogCount() << '\n';
    // The account database of a fresh folder is there too; count it when it opens.
    bool open = false;
    try {
        open = QFileInfo::exists(dm.defaultDatabasePath()) && dm.OpenDatabase();
    } catch (const DatabaseError &e) {
        ctx.out().flush();
        ShowError(QStringLiteral("An error occurred while opening the Database."));
        return ExitRefused;
    }
    if (open) {
        ctx.out() << "Account database: " << QDir::toNativeSeparators(dm.CurrentDatabasePath()) << '\n';
        ctx.out() << "Accounts: " << dm.AccountCount() << '\n';
        ctx.out() << "Receivers: " << countRows(dm.accountDatabase(), "tblReceiver") << '\n';
    } else {
        ctx.out() << "Account database: not open\n";
    }
    ctx.out().flush();
    return ExitOk;
}

} // namespace kovra
