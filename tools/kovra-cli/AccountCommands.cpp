// account add | list | show | delete | upgrade | export | import
#include "CliContext.h"

#include "AccountEditor.h"
#include "ExchangeFiles.h"
#include "KovraHome.h"
#include "MessageDialogs.h"
#include "OptionCatalogue.h"
#include "Schema.h"
#include "TdmdMain.h"
#include "TerminalDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kovra {
namespace {

const char *const kAddSynopsis =
    "account add --number N --generation 010..014 [--ip A] [--key K] [--installer-code C] "
    "[--console-port P] [--remote-port P] [--receiver1..3 IP] [--gateway1..3 IP] "
    "[--receiver-port1..3 P] [--template FILE]";

bool isHex(const QString &s, int maxLength)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]*$"));
    return s.size() <= maxLength && re.match(s).hasMatch();
}

bool parseDotted(const QString &text, long long out[4])
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        out[i] = parts.at(i).toLongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

bool parseNumber(const QString &text, long long *out)
{
    bool ok = false;
    *out = text.toLongLong(&ok);
    return ok;
}

// Kovra_ID of the account, or 0 after the refusal was printed.
int accountIdOf(CliContext &ctx, const QString &number)
{
    const QString id = ctx.db().FindAccountId(number);
    if (id.isEmpty()) {
        ctx.refuse(QStringLiteral("Account %1 does not exist.").arg(number));
        return 0;
    }
    return id.toInt();
}

QString accountNumberOf(TdmdMain &dm, int id)
{
    QSqlQuery q = RunSql(dm.accountDatabase(), QStringLiteral("SELECT KovraAccount FROM tblKovra WHERE Kovra_ID = ?"), {id});
    return q.next() ? q.value(0).toString() : QString();
}

int accountAdd(CliContext &ctx, QStringList args)
{
    AccountInput in;
    QString v;
    bool missing = false;
    auto usage = [&] { return ctx.usage(QString::fromLatin1(kAddSynopsis)); };

    if (!TakeOption(args, "--number", &v, &missing) || !isHex(v, 10))
        return usage();
    in.accountNumber = v;
    if (!TakeOption(args, "--generation", &v, &missing) || AccountEditor::GenerationIndex(v) < 0)
        return usage();
    in.generation = v;
    in.installerCode = AccountEditor::InstallerCodeForGeneration(in.generation);
    if (TakeOption(args, "--ip", &v, &missing) && !parseDotted(v, in.moduleAddress))
        return usage();
    if (TakeOption(args, "--key", &v, &missing)) {
        if (!isHex(v, 32))
            return usage();
        in.key = v;
    }
    if (TakeOption(args, "--installer-code", &v, &missing)) {
        if (!isHex(v, 4))
            return usage();
        in.installerCode = v;
    }
    if (TakeOption(args, "--console-port", &v, &missing) && !parseNumber(v, &in.consolePort))
        return usage();
    if (TakeOption(args, "--remote-port", &v, &missing) && !parseNumber(v, &in.remotePort))
        return usage();
    for (int r = 0; r < 3; ++r) {
        const QString n = QString::number(r + 1);
        if (TakeOption(args, "--receiver" + n, &v, &missing) && !parseDotted(v, in.receivers[r].address))
            return usage();
        if (TakeOption(args, "--gateway" + n, &v, &missing) && !parseDotted(v, in.receivers[r].gateway))
            return usage();
        if (TakeOption(args, "--receiver-port" + n, &v, &missing) && !parseNumber(v, &in.receivers[r].port))
            return usage();
    }
    QString templateFile;
    const bool withTemplate = TakeOption(args, "--template", &templateFile, &missing);
    if (missing || !args.isEmpty())
        return usage();
    if (withTemplate && !QFileInfo(templateFile).isFile())
        return ctx.refuse(QStringLiteral("Template file %1 does not exist.").arg(templateFile));

    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    // The editor asks whether to load a template; --template is the answer.
    ctx.dialogs().queueAnswer(!withTemplate);
    if (withTemplate)
        ctx.queueFile(QFileInfo(templateFile).absoluteFilePath());

    AccountEditor editor(ctx.db(), AccountEditor::Add);
    const AccountSaveOutcome out = editor.save(in);
    if (out.result != AccountEditorResult::Changed)
        return ExitRefused;
    ctx.out() << "Account " << accountNumberOf(ctx.db(), out.accountId) << " created (Kovra_ID "
              << out.accountId << ", " << ctx.db().GetOptionValue(out.accountId, "326") << ")\n";
    return ExitOk;
}

int accountList(CliContext &ctx, const QStringList &args)
{
    if (!args.isEmpty())
        return ctx.usage(QStringLiteral("account list"));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    QSqlQuery q = RunSql(ctx.db().accountDatabase(),
                         QStringLiteral("SELECT k.Kovra_ID, k.KovraAccount, k.KovraIP, "
                                        "(SELECT o.KovraOptionValue FROM tblKovraOptions o WHERE o.Kovra_ID = k.Kovra_ID "
                                        "AND o.OptionNumber = '326'), "
                                        "(SELECT count(*) FROM tblKovraOptions o WHERE o.Kovra_ID = k.Kovra_ID), "
                                        "k.Receiver1, k.Receiver2, k.Receiver3 FROM tblKovra k ORDER BY k.KovraAccount"));
    QList<QStringList> rows;
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < 8; ++i)
            r << q.value(i).toString();
        rows << r;
    }
    ctx.printTable({"Kovra_ID", "KovraAccount", "KovraIP", "Version", "Options", "Receiver1", "Receiver2", "Receiver3"},
                   rows);
    return ExitOk;
}

int accountShow(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 1)
        return ctx.usage(QStringLiteral("account show NUMBER"));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    const int id = accountIdOf(ctx, args.first());
    if (!id)
        return ExitRefused;
    QSqlQuery q = RunSql(ctx.db().accountDatabase(),
                         QStringLiteral("SELECT Kovra_ID, KovraAccount, KovraIP, KovraKey, KovraMAC, "
                                        "Receiver1, Receiver2, Receiver3, Receiver1Gateway, Receiver2Gateway, "
                                        "Receiver3Gateway, Receiver1Port, Receiver2Port, Receiver3Port "
                                        "FROM tblKovra WHERE Kovra_ID = ?"),
                         {id});
    if (q.next()) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i)
            ctx.out() << rec.fieldName(i).leftJustified(17) << q.value(i).toString() << '\n';
    }
    ctx.out() << '\n';
    Generation g = Generation::V10;
    GenerationFromCode(GenerationCodeOfVersion(ctx.db().GetAccountVersion(id)), &g);
    QSqlQuery o = RunSql(ctx.db().accountDatabase(),
                         QStringLiteral("SELECT OptionNumber, KovraOptionValue FROM tblKovraOptions "
                                        "WHERE Kovra_ID = ? ORDER BY KovraOption_ID"),
                         {id});
    QList<QStringList> rows;
    while (o.next()) {
        const QString number = o.value(0).toString();
        const CatalogueEntry *e = FindCatalogueEntry(number);
        QString name = e ? e->OptionName : QString();
        if (!e)
            for (const CatalogueEntry &c : CatalogueEntries(g))
                if (c.OptionNumber.compare(number, Qt::CaseInsensitive) == 0)
                    name = c.OptionName;
        rows << QStringList{number, DisplayNumber(number), name, o.value(1).toString()};
    }
    ctx.printTable({"Option", "Display", "Name", "Value"}, rows);
    return ExitOk;
}

int accountDelete(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 1)
        return ctx.usage(QStringLiteral("account delete NUMBER"));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    const int id = accountIdOf(ctx, args.first());
    if (!id)
        return ExitRefused;
    if (AskQuestion(QStringLiteral("Confirmation"), QStringLiteral("Are you sure you want to delete the entry?"),
                    MessageKind::YesNo))
        return ctx.refuse(QStringLiteral("Account %1 was not deleted.").arg(args.first()));
    ctx.db().DeleteAccount(id);
    ctx.out() << "Account " << args.first().toUpper() << " deleted\n";
    return ExitOk;
}

int accountUpgrade(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 2 || AccountEditor::GenerationIndex(args.at(1)) < 0)
        return ctx.usage(QStringLiteral("account upgrade NUMBER 011|012|013|014"));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    const int id = accountIdOf(ctx, args.first());
    if (!id)
        return ExitRefused;
    AccountEditor editor(ctx.db(), AccountEditor::Edit, id);
    AccountInput in;
    if (!editor.load(in))
        return ctx.refuse(QStringLiteral("Account %1 does not exist.").arg(args.first()));
    const QString old = editor.oldGeneration().isEmpty() ? QStringLiteral("010") : editor.oldGeneration();
    if (args.at(1) == old) {
        ctx.out() << "Account " << in.accountNumber << " is already of generation " << old << '\n';
        return ExitOk;
    }
    // The command is the request: it answers the editor's upgrade question.
    ctx.dialogs().queueAnswer(false);
    in.generation = args.at(1);
    const AccountSaveOutcome out = editor.save(in);
    if (out.result == AccountEditorResult::KeepOpen || out.result == AccountEditorResult::Cancelled)
        return ExitRefused;
    ctx.out() << "Account " << in.accountNumber << " upgraded to " << ctx.db().GetAccountVersion(out.accountId)
              << " (Kovra_ID " << out.accountId << ")\n";
    return ExitOk;
}

int accountExport(CliContext &ctx, const QStringList &args)
{
    if (args.isEmpty() || args.size() > 2)
        return ctx.usage(QStringLiteral("account export NUMBER [FILE]"));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    const int id = accountIdOf(ctx, args.first());
    if (!id)
        return ExitRefused;
    const QString number = accountNumberOf(ctx.db(), id);
    const QString file = args.size() == 2 ? QFileInfo(args.at(1)).absoluteFilePath()
                                          : DefaultExportFileName(number);
    // The save dialog asks before replacing a file.
    if (QFileInfo::exists(file)
        && AskQuestion(QStringLiteral("Export Kovra Account"),
                       QStringLiteral("%1 already exists.\r\nDo you want to replace it?").arg(QDir::toNativeSeparators(file)),
                       MessageKind::YesNo))
        return ctx.refuse(QStringLiteral("Nothing exported."));
    if (!ExportAccount(ctx.db(), file, id)) {
        ShowTimedError(QStringLiteral("Exporting the Kovra Account has failed."), -5000);
        return ExitRefused;
    }
    ctx.db().WriteLogEvent(118, number);
    ShowTimedInfo(QStringLiteral("Account information exported successfully."), -5000);
    ctx.out() << QDir::toNativeSeparators(file) << '\n';
    return ExitOk;
}

int accountImport(CliContext &ctx, const QStringList &args)
{
    if (args.size() != 1)
        return ctx.usage(QStringLiteral("account import FILE [--yes|--no]"));
    // A bare name is looked for in Import/, where the import dialog starts.
    QString file = args.first();
    if (!QFileInfo(file).isFile() && QFileInfo(file).isRelative()
        && QFileInfo(HomePath(QStringLiteral("Import/")) + file).isFile())
        file = HomePath(QStringLiteral("Import/")) + file;
    if (!QFileInfo(file).isFile())
        return ctx.refuse(QStringLiteral("File %1 does not exist.").arg(args.first()));
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;
    int id = 0;
    if (!ImportAccount(ctx.db(), QFileInfo(file).absoluteFilePath(), &id)) {
        if (ctx.dialogs().declinedUnasked())
            return ctx.refuse(QStringLiteral("Nothing imported: a question could not be answered."));
        return ExitRefused;
    }
    const QString number = accountNumberOf(ctx.db(), id);
    ctx.db().WriteLogEvent(119, number);
    ShowTimedInfo(QStringLiteral("Kovra Account has been imported successfully."), -5000);
    ctx.out() << "Account " << number << " imported (Kovra_ID " << id << ")\n";
    return ExitOk;
}

} // namespace

int RunAccountCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString sub = args.isEmpty() ? QString() : args.takeFirst();
    ctx.setCommandName(QStringLiteral("account ") + sub);
    if (sub == QLatin1String("add"))
        return accountAdd(ctx, args);
    if (sub == QLatin1String("list"))
        return accountList(ctx, args);
    if (sub == QLatin1String("show"))
        return accountShow(ctx, args);
    if (sub == QLatin1String("delete"))
        return accountDelete(ctx, args);
    if (sub == QLatin1String("upgrade"))
        return accountUpgrade(ctx, args);
    if (sub == QLatin1String("export"))
        return accountExport(ctx, args);
    if (sub == QLatin1String("import"))
        return accountImport(ctx, args);
    ctx.setCommandName(QStringLiteral("account"));
    return ctx.usage(QStringLiteral("account add|list|show|delete|upgrade|export|import ..."));
}

} // namespace kovra
