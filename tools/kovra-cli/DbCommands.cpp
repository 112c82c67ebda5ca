// The maintenance commands run the same flows as the console's menus: the same
// questions (answered by --yes/--no), messages, log events and role rules.
#include "DbCommands.h"
#include "CliContext.h"

#include "ConfigurationOps.h"
#include "DatabaseMaintenance.h"
#include "KovraHome.h"
#include "TDataSetToExcel.h"
#include "TdmdMain.h"

#include <QDir>
#include <QFileInfo>

namespace kovra {

namespace {

QString absolute(const QString &path) { return QFileInfo(path).absoluteFilePath(); }

const char *kDbSynopsis = "db backup [FILE] | db restore ARCHIVE DIR | db compact FILE | db create FILE";

} // namespace

int RunDbCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString synopsis = QString::fromLatin1(kDbSynopsis);
    if (args.isEmpty())
        return ctx.usage(synopsis);
    const QString verb = args.takeFirst();
    ctx.setCommandName(QStringLiteral("db ") + verb);

    if (verb == QLatin1String("backup")) {
        if (args.size() > 1)
            return ctx.usage(QStringLiteral("db backup [FILE]"));
        // Tools > Database Tools > Backup: Administrators and Users.
        if (int rc = ctx.begin(CliAccess::Accounts))
            return rc;
        const QString file = args.isEmpty()
            ? HomePath(QStringLiteral("DB/")
                       + ProposedBackupName(ctx.db().CurrentDatabasePath(), QDateTime::currentDateTime()))
            : absolute(args.first());
        ctx.queueFile(file);
        if (BackupCommand(ctx.db()) != BackupOutcome::Succeeded)
            return ExitRefused;
        ctx.out() << file << Qt::endl;
        return ExitOk;
    }
    if (verb == QLatin1String("restore")) {
        if (args.size() != 2)
            return ctx.usage(QStringLiteral("db restore ARCHIVE DIR"));
        // Restore replaces the data of every user: Administrators only.
        if (int rc = ctx.begin(CliAccess::Administrator, false))
            return rc;
        if (!QFileInfo(args.at(1)).isDir())
            return ctx.refuse(QStringLiteral("%1 is not a folder.").arg(args.at(1)));
        ctx.queueFile(absolute(args.at(0)));
        ctx.queueFile(absolute(args.at(1)));
        return RestoreCommand(ctx.db()) == RestoreOutcome::Restored ? ExitOk : ExitRefused;
    }
    if (verb == QLatin1String("compact")) {
        if (args.size() != 1)
            return ctx.usage(QStringLiteral("db compact FILE"));
        if (int rc = ctx.begin(CliAccess::Accounts))
            return rc;
        const CompactOutcome out = CompactChosenFile(ctx.db(), absolute(args.first()));
        return out == CompactOutcome::Failed ? ExitRefused : ExitOk;
    }
    if (verb == QLatin1String("create")) {
        if (args.size() != 1)
            return ctx.usage(QStringLiteral("db create FILE"));
        if (int rc = ctx.begin(CliAccess::Accounts))
            return rc;
        return CreateDatabaseFile(ctx.db(), absolute(args.first())) == OpenOutcome::Opened ? ExitOk : ExitRefused;
    }
    return ctx.usage(synopsis);
}

int RunLogExport(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 1)
        return ctx.usage(QStringLiteral("log export FILE"));
    if (int rc = ctx.begin(CliAccess::Administrator, false))
        return rc;
    ctx.queueFile(absolute(args.first()));
    const ExportOutcome out = ExportLogsToExcel(ctx.db().userDatabase(), HomePath(QStringLiteral("Export")));
    if (out != ExportOutcome::Exported)
        return ExitRefused;
    ctx.out() << TDataSetToExcel::XlsFileName(absolute(args.first())) << Qt::endl;
    return ExitOk;
}

namespace {

struct Key {
    const char *name;
    int min;
    int max;   // min > max: text
};

// The keys the configuration dialog writes; values within the dialog's ranges.
const Key kKeys[] = {
    {"AUTOLOGOUTTIME", 60, 1200},   // seconds; stored as whole minutes times 60
    {"AUTOLOGOUT", 0, 1},
    {"NOPASSWORDEXPIRE", 0, 1},
    {"VALIDITY", ExpireMin, ExpireMax},
    {"COMPORTPORT", 1, 0},
    {"COMPORTBAUDS", 0, 13},
    {"COMPORTCUSTOMBAUDS", 1, 4000000},
    {"COMPORTDATABITS", 0, 3},
};

void printSettings(CliContext &ctx, const Settings &s)
{
    QTextStream &o = ctx.out();
    o << "AUTOLOGOUTTIME=" << s.autoLogoutTime << '\n'
      << "AUTOLOGOUT=" << (s.noAutoLogout ? 1 : 0) << '\n'
      << "NOPASSWORDEXPIRE=" << (s.noPasswordExpire ? 1 : 0) << '\n'
      << "VALIDITY=" << s.validity << '\n'
      << "COMPORTPORT=" << s.comPortPort << '\n'
      << "COMPORTBAUDS=" << s.comPortBauds << '\n'
      << "COMPORTCUSTOMBAUDS=" << s.comPortCustomBauds << '\n'
      << "COMPORTDATABITS=" << s.comPortDataBits << '\n'
      << "TCPSERVERPORT=" << s.tcpServerPort << '\n'
      << "TCPSERVER=" << (s.tcpServer ? 1 : 0) << Qt::endl;
}

} // namespace

int RunConfigCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString synopsis = QStringLiteral("config show | config set KEY VALUE");
    if (args.isEmpty())
        return ctx.usage(synopsis);
    const QString verb = args.takeFirst();
    ctx.setCommandName(QStringLiteral("config ") + verb);
    if (verb == QLatin1String("show")) {
        if (!args.isEmpty())
            return ctx.usage(synopsis);
        if (int rc = ctx.begin(CliAccess::Administrator, false))
            return rc;
        printSettings(ctx, ctx.db().settings());
        return ExitOk;
    }
    if (verb != QLatin1String("set") || args.size() != 2)
        return ctx.usage(synopsis);
    const QString keyName = args.at(0).toUpper();
    const QString value = args.at(1);
    const Key *key = nullptr;
    for (const Key &k : kKeys)
        if (keyName == QLatin1String(k.name))
            key = &k;
    if (!key) {
        QStringList names;
        for (const Key &k : kKeys)
            names << QString::fromLatin1(k.name);
        return ctx.usage(QStringLiteral("config set KEY VALUE (KEY: %1)").arg(names.join(QStringLiteral(", "))));
    }
    int number = 0;
    if (key->min <= key->max) {
        bool ok = false;
        number = value.toInt(&ok);
        if (!ok)
            return ctx.usage(QStringLiteral("config set %1 NUMBER").arg(keyName));
    }
    if (int rc = ctx.begin(CliAccess::Administrator, false))
        return rc;
    if (key->min <= key->max && (number < key->min || number > key->max))
        return ctx.refuse(QStringLiteral("%1 must be from %2 to %3.").arg(keyName).arg(key->min).arg(key->max));
    if (key->min > key->max && value.trimmed().isEmpty())
        return ctx.refuse(QStringLiteral("%1 must not be empty.").arg(keyName));

    // Changed as the dialog would change it, then written by the dialog's OK.
    Settings &s = ctx.db().settings();
    if (keyName == QLatin1String("COMPORTPORT"))
        s.comPortPort = value.trimmed();
    else if (keyName == QLatin1String("COMPORTBAUDS"))
        s.comPortBauds = number;
    else if (keyName == QLatin1String("COMPORTCUSTOMBAUDS"))
        s.comPortCustomBauds = number;
    else if (keyName == QLatin1String("COMPORTDATABITS"))
        s.comPortDataBits = number;
    ConfigurationInput in = InputFromSettings(s);
    if (keyName == QLatin1String("AUTOLOGOUTTIME"))
        in.autoLogoutMinutes = number / 60;
    else if (keyName == QLatin1String("AUTOLOGOUT"))
        in.noAutoLogout = number != 0;
    else if (keyName == QLatin1String("NOPASSWORDEXPIRE"))
        in.passwordNeverExpires = number != 0;
    else if (keyName == QLatin1String("VALIDITY"))
        in.expireDays = number;
    if (!ApplyConfiguration(ctx.db(), in))
        return ExitRefused;
    printSettings(ctx, s);
    return ExitOk;
}

} // namespace kovra
