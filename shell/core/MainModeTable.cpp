#include "MainModeTable.h"

#include "LoginState.h"

#include <QDateTime>
#include <QLocale>

namespace kovra {

namespace {

const QString kLogIn = QStringLiteral("&Log in");
const QString kLogOut = QStringLiteral("&Log out");
const QString kOpen = QStringLiteral("&Open Database");
const QString kCreate = QStringLiteral("C&reate New Database");
const QString kChange = QStringLiteral("&Change Password");
const QString kExit = QStringLiteral("E&xit");
const QString kViewAccounts = QStringLiteral("&Kovra Accounts");
const QString kViewReceivers = QStringLiteral("&IP Receivers");
const QString kViewUsers = QStringLiteral("User &Management");
const QString kViewLogs = QStringLiteral("&Logs");
const QString kConfigure = QStringLiteral("Co&nfigure");
const QString kExport = QStringLiteral("&Export Kovra Account");
const QString kImport = QStringLiteral("&Import Kovra Account");
const QString kTools = QStringLiteral("&Database Tools");
const QString kCompact = QStringLiteral("Database &Compact And Repair");
const QString kBackup = QStringLiteral("Database &Backup");
const QString kRestore = QStringLiteral("Database &Restore");

OutlookGroupRule loginGroup(bool loggedIn)
{
    return {QStringLiteral("Login/Logout"), {loggedIn ? QStringLiteral("Log out") : QStringLiteral("Log in")}};
}

const OutlookGroupRule kAccounts{QStringLiteral("Kovra Accounts"),
                                 {QStringLiteral("Add Account"), QStringLiteral("Edit Account"),
                                  QStringLiteral("Delete Account"), QStringLiteral("Kovra Template"),
                                  QStringLiteral("Kovra Programming"), QStringLiteral("Update Receivers")}};
const OutlookGroupRule kReceiversAdmin{QStringLiteral("IP Receivers"),
                                       {QStringLiteral("Add Receiver"), QStringLiteral("Edit Receiver"),
                                        QStringLiteral("Delete Receiver"), QStringLiteral("Receiver Kovra Table")}};
const OutlookGroupRule kReceiversUser{QStringLiteral("IP Receivers"),
                                      {QStringLiteral("Add Receiver"), QStringLiteral("Edit Receiver"),
                                       QStringLiteral("Delete Receiver")}};
const OutlookGroupRule kUsersAll{QStringLiteral("User Management"),
                                 {QStringLiteral("Add User"), QStringLiteral("Edit User"),
                                  QStringLiteral("Delete User"), QStringLiteral("Change Your Password  ")}};
const OutlookGroupRule kUsersOwn{QStringLiteral("User Management"), {QStringLiteral("Change Your Password  ")}};
const OutlookGroupRule kLogsAll{QStringLiteral("Logs"),
                                {QStringLiteral("Delete Log Entry"), QStringLiteral("Delete All Logs"),
                                 QStringLiteral("Export Logs To Excel")}};
const OutlookGroupRule kLogsEmpty{QStringLiteral("Logs"), {}};

QList<ModeRule> buildTable()
{
    QList<ModeRule> t;
    ModeRule r;

    r = ModeRule();
    r.mode = 0;
    r.statusText = QStringLiteral("Mode - Unknown");
    r.loginCaption = kLogIn;
    r.config = {0, 0};
    r.about = {1, 0};
    r.exit = {1, 1};
    r.kovraTable = {0, 0};
    r.fileMenu = {kLogIn, kExit};
    r.userFilterChanged = true;
    r.outlook = {loginGroup(false)};
    t << r;

    r = ModeRule();
    r.mode = 1;
    r.statusText = QStringLiteral("Mode - Supervisor");
    r.loginCaption = kLogOut;
    r.config = {0, 0};
    r.about = {1, 1};
    r.exit = {1, 1};
    r.pages = {kPageUsers, kPageLogs};
    r.activePage = kPageUsers;
    r.kovraTable = {0, 0};
    r.fileMenu = {kLogOut, kChange, kExit};
    r.viewMenu = {kViewUsers, kViewLogs};
    r.helpMenu = true;
    r.userFilterChanged = true;
    r.userFilter = QStringLiteral("UserType<>1");
    r.loggedUserPrefix = QStringLiteral("Supervisor ");
    r.logEvent = 3;
    r.outlook = {loginGroup(true), kUsersAll, kLogsEmpty};
    t << r;

    r = ModeRule();
    r.mode = 2;
    r.statusText = QStringLiteral("Mode - Administrator");
    r.loginCaption = kLogOut;
    r.config = {1, 1};
    r.about = {1, 1};
    r.exit = {1, 1};
    r.debugAllowed = true;
    r.logCommands = true;
    r.saveToExcel = true;
    r.memo2Enabled = true;
    r.pages = {kPageAccounts, kPageReceivers, kPageUsers, kPageLogs};
    r.activePage = kPageAccounts;
    r.kovraTable = {1, 1};
    // Shown again here: a User session before would otherwise leave the
    // entry hidden for the Administrator who logs in next.
    r.receiverPopupTable = {1, 1};
    r.fileMenu = {kLogOut, kChange, kOpen, kCreate, kExit};
    r.viewMenu = {kViewAccounts, kViewReceivers, kViewUsers, kViewLogs};
    r.toolsMenu = {kConfigure, kExport, kImport, kTools, kCompact, kBackup, kRestore};
    r.helpMenu = true;
    r.userFilterChanged = true;
    r.userFilter = QStringLiteral("UserType<>1 AND UserType<>2");
    r.loggedUserPrefix = QStringLiteral("Administrator ");
    r.logEvent = 4;
    r.outlook = {loginGroup(true), kAccounts, kReceiversAdmin, kUsersAll, kLogsAll};
    t << r;

    r = ModeRule();
    r.mode = 3;
    r.statusText = QStringLiteral("Mode - User");
    r.loginCaption = kLogOut;
    r.config = {0, 0};
    r.about = {1, 1};
    r.exit = {1, 1};
    r.pages = {kPageAccounts, kPageReceivers, kPageLogs};
    r.activePage = kPageAccounts;
    r.kovraTable = {0, 0};
    r.receiverPopupTable = {0, 0};
    r.fileMenu = {kLogOut, kChange, kOpen, kCreate, kExit};
    r.viewMenu = {kViewAccounts, kViewReceivers, kViewLogs};
    r.toolsMenu = {kExport, kImport, kTools, kCompact, kBackup};
    r.helpMenu = true;
    r.loggedUserPrefix = QStringLiteral("User ");
    r.logEvent = 5;
    r.outlook = {loginGroup(true), kAccounts, kReceiversUser, kLogsEmpty, kUsersOwn};
    t << r;

    r = ModeRule();
    r.mode = 4;
    r.statusText = QStringLiteral("Mode - Unattended");
    r.loginCaption = kLogIn;
    r.config = {0, 0};
    r.about = {1, 0};
    r.exit = {1, 0};
    r.pages = {kPageLogs};
    r.fileMenu = {kLogIn, kExit};
    r.userFilterChanged = true;
    r.logEvent = 6;
    r.outlook = {loginGroup(false)};
    t << r;

    r = ModeRule();
    r.mode = 5;
    r.statusText = QStringLiteral("Mode - No Database");
    r.config = {0, 0};
    r.about = {1, -1};
    r.exit = {1, -1};
    r.pages = {kPageLogs};
    r.kovraTable = {0, 0};
    r.fileMenu = {kLogOut, kOpen, kCreate, kExit};
    r.toolsMenu = {kTools, kCompact, kRestore};
    r.userFilterChanged = true;
    r.outlook = {loginGroup(true)};
    t << r;
    return t;
}

} // namespace

const ModeRule &ModeRuleFor(int mode)
{
    static const QList<ModeRule> table = buildTable();
    if (mode < 0 || mode >= table.size())
        return table.first();
    return table[mode];
}

int OutlookGroupForPage(int mode, const QString &pageName)
{
    // Columns: Supervisor, Administrator, User, Unattended.
    struct Row {
        const char *page;
        int group[4];
    };
    static const Row rows[] = {
        {kPageAccounts, {2, 2, 2, 2}},
        {kPageReceivers, {3, 3, 3, 3}},
        {kPageUsers, {2, 4, 0, 0}},
        {kPageLogs, {3, 5, 4, 2}},
    };
    if (mode < 1 || mode > 4)
        return 0;
    for (const Row &r : rows)
        if (pageName == QLatin1String(r.page))
            return r.group[mode - 1];
    return 0;
}

QString LoginText(const QString &userName)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale l = QLocale::system();
    return userName + QStringLiteral(" logged on at ") + l.toString(now.time(), QLocale::ShortFormat)
        + QLatin1Char(' ') + l.toString(now.date(), QLocale::ShortFormat);
}

} // namespace kovra
