#include "ModuleCommands.h"
#include "CliContext.h"
#include "DataModuleLink.h"
#include "KeyChange.h"
#include "LinkSettings.h"
#include "OptionCatalogue.h"
#include "TdmdCommunication.h"
#include "TdmdMain.h"

#include <QRegularExpression>
#include <QTextStream>

namespace kovra {
namespace {

const char *const kModuleHelp =
    "usage: kovra-cli module COMMAND ...\n"
    "\n"
    "The account's link settings are used: module address (KovraIP), console port\n"
    "(option 013, else 3064), installer code (006), software version (326) and the\n"
    "encryption key (004, 005). OPTION is a display number (\"026\") or a name (\"EMail1\").\n"
    "\n"
    "  module get NUMBER OPTION        read one option from the module\n"
    "  module set NUMBER OPTION        write the database value, then read it back\n"
    "  module get-all NUMBER           read every option\n"
    "  module set-all NUMBER           write every option, then read all back\n"
    "  module reset NUMBER             restart the module\n"
    "  module change-key NUMBER KEY    program a new 32-digit encryption key and store it\n"
    "  module lead-out NUMBER          end the console session\n"
    "\n"
    "After a transfer a table shows display number, name, database value, module\n"
    "value and whether they agree. Ctrl-C cancels. Exit status: 0 done; 10 + result\n"
    "otherwise (10 no link, 11 connect failed, 12 no reply, 15 cancelled,\n"
    "16 rejected, 17 wrong version, 18 update required); 1 refused, 2 usage.\n";

int exitFor(CliContext &ctx, int result, const QString &accountNumber, const QString &moduleVersion)
{
    if (result == crOk)
        return ExitOk;
    QTextStream err(stderr);
    QString text = QString::fromLatin1(CommResultMessage(result));
    if (result == crUpdateRequired)
        text = QStringLiteral("Kovra is a newer version than this account. Update it with: kovra-cli account "
                              "upgrade %1 %2")
                   .arg(accountNumber, moduleVersion);
    else if (result == crNoLink)
        text = QStringLiteral("No link to the Kovra.");
    else if (result == crConnectFailed)
        text = QStringLiteral("Cannot connect to the specified IP Address.");
    if (!text.isEmpty())
        err << ctx.commandName() << ": " << text << Qt::endl;
    return 10 + result;
}

int findRow(const KovraOptionList &list, const QString &option)
{
    for (int i = 0; i < list.size(); ++i) {
        const QString &n = list[i].OptionNumber;
        if (DisplayNumber(n) == option)
            return i + 1;
        const CatalogueEntry *e = FindCatalogueEntry(n);
        if (e && e->OptionName.compare(option, Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

void printRows(CliContext &ctx, const KovraOptionList &list, int first, int last)
{
    QList<QStringList> rows;
    for (int r = first; r <= last && r <= list.size(); ++r) {
        const KovraOptionRow &o = list[r - 1];
        const CatalogueEntry *e = FindCatalogueEntry(o.OptionNumber);
        rows << QStringList{DisplayNumber(o.OptionNumber), e ? e->OptionName : QString(), o.KovraOptionValue,
                            o.KovraOptionTempValue,
                            o.KovraOptionValue == o.KovraOptionTempValue ? QStringLiteral("yes") : QStringLiteral("no")};
    }
    ctx.printTable({"Option", "Name", "Database", "Module", "Agree"}, rows);
}

} // namespace

int RunModuleCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        QTextStream(stdout) << kModuleHelp;
        return args.isEmpty() ? ExitUsage : ExitOk;
    }
    const QString sub = args.takeFirst();
    ctx.setCommandName("module " + sub);
    const QMap<QString, int> argCount = {{"get", 2}, {"set", 2}, {"get-all", 1}, {"set-all", 1},
                                         {"reset", 1}, {"change-key", 2}, {"lead-out", 1}};
    if (!argCount.contains(sub)) {
        QTextStream(stderr) << "kovra-cli: unknown module command \"" << sub << "\"\n" << kModuleHelp;
        return ExitUsage;
    }
    if (args.size() != argCount.value(sub)) {
        const QMap<QString, QString> synopsis = {{"get", "module get NUMBER OPTION"}, {"set", "module set NUMBER OPTION"},
                                                 {"change-key", "module change-key NUMBER KEY"}};
        return ctx.usage(synopsis.value(sub, "module " + sub + " NUMBER"));
    }
    if (int rc = ctx.begin(CliAccess::Accounts))
        return rc;

    const QString number = args.at(0).toUpper();
    const QString idText = ctx.db().FindAccountId(number);
    if (idText.isEmpty())
        return ctx.refuse(QStringLiteral("Account %1 does not exist.").arg(number));
    const int id = idText.toInt();
    const QSqlDatabase db = ctx.db().accountDatabase();

    TdmdCommunication link;
    TdmdMain &main = ctx.db();
    ConnectToDataModule(link, main);
    const LinkSettings settings = LoadLinkSettings(db, id);
    ApplyLinkSettings(link, settings, id);
    if (settings.ModuleHost.isEmpty())
        return ctx.refuse(QStringLiteral("Account %1 has no module IP address.").arg(number));
    KovraOptionList list = LoadOptionList(db, id);
    const auto reload = [&] { list = LoadOptionList(db, id); };
    const auto done = [&](int r) { return exitFor(ctx, r, settings.AccountNumber, link.ModuleVersion); };

    if (sub == "get" || sub == "set") {
        const int row = findRow(list, args.at(1));
        if (row == 0)
            return ctx.refuse(QStringLiteral("Account %1 has no option \"%2\".").arg(number, args.at(1)));
        const QString option = list[row - 1].OptionNumber;
        CommResult r;
        if (sub == "get") {
            r = link.GetOptions(list, "Getting Option. Please wait...", true, row, row, settings.Encrypt, settings.Key);
        } else {
            if (option == "004" || option == "005")
                return ctx.refuse("The encryption key is changed with: kovra-cli module change-key NUMBER KEY");
            if (IsReadOnlyOption(option))
                return ctx.refuse("This option is read-only.");
            r = link.SetOptions(list, "Setting Option. Please wait...", true, row, row, settings.Encrypt, settings.Key);
            if (r == crOk)
                r = link.GetOptions(list, "Verifying The Option. Please wait...", true, row, row, settings.Encrypt,
                                    settings.Key);
        }
        reload();
        printRows(ctx, list, row, row);
        return done(r);
    }
    if (sub == "get-all" || sub == "set-all") {
        CommResult r = crOk;
        if (sub == "set-all")
            r = link.SetAllOptions(list, "Setting All Options. Please wait...", false, 0, 0, settings.Encrypt,
                                   settings.Key);
        if (r == crOk)
            r = link.GetAllOptions(list, sub == "set-all" ? "Verifying All Options. Please wait..."
                                                          : "Getting All Options. Please wait...",
                                   false, 0, 0, settings.Encrypt, settings.Key);
        reload();
        printRows(ctx, list, 1, int(list.size()));
        return done(r);
    }
    if (sub == "reset") {
        const CommResult r = link.ResetModule(settings.Key, settings.Encrypt);
        link.SessionOpen = false;
        if (r == crOk)
            ctx.out() << "Kovra Reset will be completed in 90 seconds." << Qt::endl;
        else if (r == crCancelled) {
            QTextStream(stderr) << ctx.commandName() << ": Reset Cancelled." << Qt::endl;
            return 10 + r;
        }
        return done(r);
    }
    if (sub == "change-key") {
        const QString newKey = args.at(1).toUpper();
        if (!QRegularExpression(QStringLiteral("^[0-9A-F]{32}$")).match(newKey).hasMatch())
            return ctx.refuse("The new key must be 32 hexadecimal digits.");
        const QString oldKey = settings.Encrypt ? settings.Key : QString(32, QLatin1Char('0'));
        const CommResult r = ProgramEncryptionKey(link, db, id, oldKey, newKey, [&] {
            main.WriteLogEvent(110, settings.AccountNumber);
        });
        if (r == crOk)
            ctx.out() << "Set Option finished successfully." << Qt::endl;
        return done(r);
    }
    // lead-out
    return done(link.LeadInOut(settings.Key, settings.Encrypt, nullptr, false));
}

} // namespace kovra
