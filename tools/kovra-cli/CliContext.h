#pragma once
// What every kovra-cli command gets: the parsed global options, the terminal
// dialog backend, the data module opened on the installation folder, the
// logged-in user (Login() state) and helpers for output and exit codes.
//
// A command handler looks like this:
//
//   int RunThing(CliContext &ctx, const QStringList &args)
//   {
//       if (args.size() != 1)
//           return ctx.usage("thing NUMBER");
//       if (int rc = ctx.begin(CliAccess::Accounts))   // opens, logs in, checks the role
//           return rc;
//       ...                                            // ctx.db() is TdmdMain
//       return ctx.refuse("why not");                  // or ExitOk
//   }
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace kovra {

class TdmdMain;
class TerminalDialogs;

enum CliExit : int {
    ExitOk = 0,        // done
    ExitRefused = 1,   // the operation was refused or failed; the message was printed
    ExitUsage = 2,     // bad command line; a usage text was printed
};

// How questions are answered: --yes, --no, or a prompt on a terminal (without a
// terminal a question counts as declined and the command says so).
enum class CliAnswer { Ask, Yes, No };

struct CliOptions {
    QString home;                       // installation folder in use
    QString login;                      // --login NAME; empty: nobody logs in
    CliAnswer answer = CliAnswer::Ask;
    bool trace = false;                 // --trace: trace lines to stderr
};

// Who may run a command, after the console's mode table.
enum class CliAccess {
    None,            // no database, no login (init, template files)
    UserDatabase,    // user database open, no login (status)
    AnyUser,         // any logged-in role (log list)
    Accounts,        // Administrator or User: account pages, export, import, programming
    Users,           // Supervisor or Administrator: user management
    Administrator,   // Administrator only: configuration, log maintenance, restore
};

class CliContext {
public:
    CliContext(const CliOptions &options, TerminalDialogs &dialogs);
    ~CliContext();
    CliContext(const CliContext &) = delete;
    CliContext &operator=(const CliContext &) = delete;

    const CliOptions &options() const { return m_options; }
    TerminalDialogs &dialogs() { return m_dialogs; }

    // Opens what the access level needs (user database; account database for
    // AnyUser and above unless openAccountDatabase is false), logs in with
    // --login and checks the role. Returns ExitOk, or the exit code after the
    // message was printed.
    int begin(CliAccess access, bool openAccountDatabase = true);

    // The data module; valid after a successful begin() with access above None.
    TdmdMain &db();
    bool hasDb() const { return m_db != nullptr; }
    bool accountDatabaseOpen() const;

    // Role check on its own (begin() calls it); prints the refusal.
    bool allowed(CliAccess access, const QString &what);

    // Output. Tables go to stdout as aligned columns.
    QTextStream &out() { return m_out; }
    void printTable(const QStringList &headers, const QList<QStringList> &rows);

    // Exit helpers: both print to stderr.
    int refuse(const QString &message);      // "Error: message", ExitRefused
    int usage(const QString &synopsis);      // "usage: kovra-cli synopsis", ExitUsage

    // File dialogs of the next operation are answered with these paths, in
    // order; with none queued a file dialog counts as cancelled.
    void queueFile(const QString &path);

    // Ctrl-C seen while a cancellable progress was running.
    bool cancelRequested() const;

    // The command being run, for messages ("account delete").
    void setCommandName(const QString &name) { m_command = name; }
    QString commandName() const { return m_command; }

private:
    bool openUserDatabase();
    bool openAccounts();
    bool logIn();

    CliOptions m_options;
    TerminalDialogs &m_dialogs;
    std::unique_ptr<TdmdMain> m_db;
    QTextStream m_out;
    QString m_command;
    bool m_loggedIn = false;
};

// Command groups (one file each). args start after the group word.
int RunInitCommand(CliContext &ctx, const QStringList &args);
int RunStatusCommand(CliContext &ctx, const QStringList &args);
int RunUserCommand(CliContext &ctx, const QStringList &args);
int RunAccountCommand(CliContext &ctx, const QStringList &args);
int RunTemplateCommand(CliContext &ctx, const QStringList &args);
int RunLogCommand(CliContext &ctx, const QStringList &args);

// Small argument helpers shared by the command files.
// Takes "--name VALUE" out of args; false when the flag is absent. A flag
// without a value sets *missingValue.
bool TakeOption(QStringList &args, const QString &name, QString *value, bool *missingValue);
bool TakeFlag(QStringList &args, const QString &name);

} // namespace kovra
