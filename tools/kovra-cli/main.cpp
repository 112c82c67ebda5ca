// kovra-cli: the console's operations from a terminal, for scripting and tests.
#include "CliContext.h"
#include "KovraHome.h"
#include "TerminalDialogs.h"
#include "Trace.h"

#if __has_include("ModuleCommands.h")
#include "ModuleCommands.h"
#define KOVRA_CLI_MODULE 1
#endif
#if __has_include("DbCommands.h")
#include "DbCommands.h"
#define KOVRA_CLI_DB 1
#endif

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QTextStream>

#include <cstdio>
#include <exception>

using namespace kovra;

namespace {

const char *const kHelp =
    "usage: kovra-cli [--home DIR] [--login NAME] [--yes|--no] [--trace] COMMAND ...\n"
    "\n"
    "Global options (anywhere on the line):\n"
    "  --home DIR      installation folder (else KOVRA_HOME, else the default folder)\n"
    "  --login NAME    log in as NAME; password from KOVRA_PASSWORD or a prompt\n"
    "  --yes, --no     answer every question; without them a terminal is asked and\n"
    "                  without a terminal questions count as declined\n"
    "  --trace         device-link trace lines to stderr\n"
    "\n"
    "Commands:\n"
    "  init DIR                                  create a fresh installation folder\n"
    "  status                                    what the installation folder holds\n"
    "  user add LOGIN --type 1|2|3 --first F --last L [--expires YYYY-MM-DD]\n"
    "                                            add a user (password from KOVRA_NEW_PASSWORD or a prompt)\n"
    "  user list                                 list users\n"
    "  account add --number N --generation 010..014 [--ip A] [--key K]\n"
    "              [--installer-code C] [--console-port P] [--remote-port P]\n"
    "              [--receiver1..3 IP] [--gateway1..3 IP] [--receiver-port1..3 P]\n"
    "              [--template FILE]             add an account\n"
    "  account list                              list accounts\n"
    "  account show NUMBER                       account row and every option row\n"
    "  account delete NUMBER                     delete an account (asks first)\n"
    "  account upgrade NUMBER GENERATION         move an account to a newer generation\n"
    "  account export NUMBER [FILE]              write an account file (.kva)\n"
    "  account import FILE                       read an account file\n"
    "  template new GENERATION FILE              catalogue defaults saved as a template file\n"
    "  template show FILE                        list a template file\n"
    "  log list [--last N]                       audit log entries\n"
#ifdef KOVRA_CLI_DB
    "  log export FILE                           audit log as a spreadsheet\n"
    "  db backup [FILE]                          back up the account database\n"
    "  db restore ARCHIVE DIR                    restore a backup archive into a folder\n"
    "  db compact FILE                           compact and repair a database file\n"
    "  db create FILE                            create a new account database\n"
    "  config show                               the configuration\n"
    "  config set KEY VALUE                      change one configuration key\n"
#endif
#ifdef KOVRA_CLI_MODULE
    "  module get|set|get-all|set-all|reset|change-key|lead-out NUMBER ...\n"
    "                                            talk to a module (kovra-cli module --help)\n"
#endif
    "\n"
    "Exit status: 0 done, 1 refused or failed (message printed), 2 usage error.\n";

int usageError(const QString &message)
{
    QTextStream err(stderr);
    if (!message.isEmpty())
        err << "kovra-cli: " << message << "\n";
    err << kHelp;
    return ExitUsage;
}

int dispatch(CliContext &ctx, QStringList args)
{
    const QString group = args.takeFirst();
    ctx.setCommandName(group);
    if (group == "init")
        return RunInitCommand(ctx, args);
    if (group == "status")
        return RunStatusCommand(ctx, args);
    if (group == "user")
        return RunUserCommand(ctx, args);
    if (group == "account")
        return RunAccountCommand(ctx, args);
    if (group == "template")
        return RunTemplateCommand(ctx, args);
#ifdef KOVRA_CLI_DB
    if (group == "log" && !args.isEmpty() && args.first() == "export") {
        ctx.setCommandName("log export");
        return RunLogExport(ctx, args.mid(1));
    }
    if (group == "db")
        return RunDbCommand(ctx, args);
    if (group == "config")
        return RunConfigCommand(ctx, args);
#endif
    if (group == "log")
        return RunLogCommand(ctx, args);
#ifdef KOVRA_CLI_MODULE
    if (group == "module")
        return RunModuleCommand(ctx, args);
#endif
    return usageError(QStringLiteral("unknown command \"%1\"").arg(group));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kovra-cli");

    QStringList args = app.arguments().mid(1);
    CliOptions options;
    QStringList rest;
    bool help = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == "--home" || a == "--login") {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("%1 needs a value").arg(a));
            (a == "--home" ? options.home : options.login) = args.at(++i);
        } else if (a == "--yes" || a == "-y") {
            if (options.answer == CliAnswer::No)
                return usageError("--yes and --no exclude each other");
            options.answer = CliAnswer::Yes;
        } else if (a == "--no") {
            if (options.answer == CliAnswer::Yes)
                return usageError("--yes and --no exclude each other");
            options.answer = CliAnswer::No;
        } else if (a == "--trace") {
            options.trace = true;
        } else if ((a == "--help" || a == "-h") && rest.isEmpty()) {
            help = true;
        } else {
            rest << a;
        }
    }
    if (help) {
        QTextStream(stdout) << kHelp;
        return ExitOk;
    }
    if (rest.isEmpty())
        return usageError("no command given");

    if (!options.home.isEmpty())
        SetKovraHome(options.home);
    options.home = KovraHome();

    if (options.trace) {
        SetTraceSink([](const QString &line) {
            static QMutex mutex;
            QMutexLocker lock(&mutex);
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        });
    }

    TerminalDialogs dialogs(options.answer);
    int rc = ExitRefused;
    {
        CliContext ctx(options, dialogs);
        try {
            rc = dispatch(ctx, rest);
        } catch (const std::exception &e) {
            // Engine and file errors end the command; the transaction was rolled back.
            rc = ctx.refuse(QString::fromLocal8Bit(e.what()));
        }
    }
    SetTraceSink(nullptr);
    return rc;
}
