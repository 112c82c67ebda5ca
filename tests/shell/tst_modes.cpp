// What the main window offers in each application mode, checked against the
// mode table written out here a second time, independently of the program's.
#include "InstallationFolder.h"
#include "LoginState.h"
#include "ScriptedDialogs.h"
#include "TApplicationMode.h"
#include "TfrmLogin.h"
#include "TfrmMain.h"
#include "UserStore.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QToolBox>
#include <QtTest>

#include "LoginFlow.h"
#include "IniFile.h"
#include "TMXDBGrid.h"

using namespace kovra;

namespace {

QStringList visibleEntries(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        out << a->text();
        if (a->menu())
            out << visibleEntries(a->menu());
    }
    return out;
}

QString outlookText(TfrmMain &w)
{
    QStringList groups;
    for (int g = 1; g <= w.outlookGroups().size(); ++g)
        groups << w.outlookGroups().at(g - 1) + ":" + w.outlookItems(g).join(",");
    return groups.join(" | ");
}

int logCount(InstallationFolder &home, const QString &event)
{
    QSqlQuery q(home.db().userDatabase());
    q.prepare("SELECT count(*) FROM tblLog WHERE Event = ?");
    q.addBindValue(event);
    q.exec();
    q.next();
    return q.value(0).toInt();
}

void loginAs(int type, const QString &name = "admin01")
{
    LoginState &s = Login();
    s.CurrentUserName = name;
    s.CurrentUserType = type;
    s.CurrentMode = type;
    s.ServiceLogin = false;
}

bool shown(QWidget *w) { return !w->isHidden(); }

} // namespace

class TestModes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void modeTable_data();
    void modeTable();
    void noDatabaseKeepsLoginCaption();
    void userListFilters_data();
    void userListFilters();
    void serviceLoginShowsDebugAndEveryUser();
    void logOutAndAutoLogoutPath();
    void quitRefusedWhileUnattended();
    void quitAskedOtherwise();
    void loginFromUnattended_data();
    void loginFromUnattended();
    void pageChangeOpensMatchingGroup_data();
    void pageChangeOpensMatchingGroup();

private:
    TerminationRequest m_previousTermination;
};

void TestModes::init()
{
    m_previousTermination = SetTerminationRequest([] {});
}

void TestModes::cleanup()
{
    SetTerminationRequest(m_previousTermination);
    Login() = LoginState();
}

void TestModes::modeTable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("loginCaption");
    QTest::addColumn<QString>("buttons");   // config, about, exit, log delete, export: "shown/enabled" as 1/0
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("view");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<bool>("help");
    QTest::addColumn<QString>("outlook");
    QTest::addColumn<int>("openGroup");
    QTest::addColumn<QString>("logEvent");
    QTest::addColumn<QString>("userPrefix");

    const QStringList all{"tbsKovra", "tbsReceiver", "tbsManageUsers", "tbsLogs"};
    QTest::newRow("Unknown") << 0 << "Mode - Unknown" << "&Log in" << "00 10 11 0 0" << QStringList() << ""
                             << QStringList{"&Log in", "E&xit"} << QStringList() << QStringList() << false
                             << "Login/Logout:Log in" << 1 << "" << "";
    QTest::newRow("Supervisor")
        << 1 << "Mode - Supervisor" << "&Log out" << "00 11 11 0 0" << QStringList{"tbsManageUsers", "tbsLogs"}
        << "tbsManageUsers" << QStringList{"&Log out", "&Change Password", "E&xit"}
        << QStringList{"User &Management", "&Logs"} << QStringList() << true
        << "Login/Logout:Log out | User Management:Add User,Edit User,Delete User,Change Your Password   | Logs:"
        << 2 << "Mode - Supervisor" << "Supervisor ";
    QTest::newRow("Administrator")
        << 2 << "Mode - Administrator" << "&Log out" << "11 11 11 1 1" << all << "tbsKovra"
        << QStringList{"&Log out", "&Open Database", "C&reate New Database", "&Change Password", "E&xit"}
        << QStringList{"&Kovra Accounts", "&IP Receivers", "User &Management", "&Logs"}
        << QStringList{"Co&nfigure", "&Export Kovra Account", "&Import Kovra Account", "&Database Tools",
                       "Database &Compact And Repair", "Database &Backup", "Database &Restore"}
        << true
        << "Login/Logout:Log out | Kovra Accounts:Add Account,Edit Account,Delete Account,Kovra Template,"
           "Kovra Programming,Update Receivers | IP Receivers:Add Receiver,Edit Receiver,Delete Receiver,"
           "Receiver Kovra Table | User Management:Add User,Edit User,Delete User,Change Your Password   | "
           "Logs:Delete Log Entry,Delete All Logs,Export Logs To Excel"
        << 2 << "Mode - Administrator" << "Administrator ";
    QTest::newRow("User")
        << 3 << "Mode - User" << "&Log out" << "00 11 11 0 0" << QStringList{"tbsKovra", "tbsReceiver", "tbsLogs"}
        << "tbsKovra" << QStringList{"&Log out", "&Open Database", "C&reate New Database", "&Change Password", "E&xit"}
        << QStringList{"&Kovra Accounts", "&IP Receivers", "&Logs"}
        << QStringList{"&Export Kovra Account", "&Import Kovra Account", "&Database Tools",
                       "Database &Compact And Repair", "Database &Backup"}
        << true
        << "Login/Logout:Log out | Kovra Accounts:Add Account,Edit Account,Delete Account,Kovra Template,"
           "Kovra Programming,Update Receivers | IP Receivers:Add Receiver,Edit Receiver,Delete Receiver | Logs: | "
           "User Management:Change Your Password  "
        << 2 << "Mode - User" << "User ";
    QTest::newRow("Unattended") << 4 << "Mode - Unattended" << "&Log in" << "00 10 10 0 0" << QStringList{"tbsLogs"}
                                << "tbsLogs" << QStringList{"&Log in", "E&xit"} << QStringList() << QStringList()
                                << false << "Login/Logout:Log in" << 1 << "Mode - Unattended" << "";
    QTest::newRow("No Database") << 5 << "Mode - No Database" << "L&og out" << "00 11 11 0 0"
                                 << QStringList{"tbsLogs"} << "tbsLogs"
                                 << QStringList{"&Log out", "&Open Database", "C&reate New Database", "E&xit"}
                                 << QStringList()
                                 << QStringList{"&Database Tools", "Database &Compact And Repair", "Database &Restore"}
                                 << false << "Login/Logout:Log out" << 1 << "" << "";
}

void TestModes::modeTable()
{
    QFETCH(int, mode);
    QFETCH(QString, buttons);
    QFETCH(QStringList, pages);
    QFETCH(QString, active);
    QFETCH(QString, logEvent);
    QFETCH(QString, userPrefix);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(mode);
    TfrmMain w(home.db());
    QCOMPARE(int(w.applicationMode().Mode), mode);

    QTEST(w.findChild<QLabel *>("stpMode")->text(), "status");
    QTEST(w.findChild<QPushButton *>("btnLogin")->text(), "loginCaption");
    auto flags = [&](const char *name) {
        auto *b = w.findChild<QPushButton *>(name);
        return QString("%1%2").arg(shown(b) ? 1 : 0).arg(b->isEnabled() ? 1 : 0);
    };
    const QString got = flags("btnConfig") + " " + flags("btnAbout") + " " + flags("btnExit") + " "
        + QString::number(shown(w.findChild<QPushButton *>("btnLogDelete"))
                          && shown(w.findChild<QPushButton *>("btnLogDeleteAll")))
        + " " + QString::number(shown(w.findChild<QPushButton *>("btnSaveToExcel")));
    QCOMPARE(got, buttons);
    QVERIFY(!shown(w.findChild<QPushButton *>("btnRefresh")));
    QVERIFY(!shown(w.findChild<QPushButton *>("btnDebug")));
    QCOMPARE(w.action("popDeleteLog")->isVisible(), buttons.endsWith("1 1"));
    // The event description box: only for Administrators, and only over a
    // log that has entries (the mode's own event is one).
    QCOMPARE(w.findChild<QWidget *>("DBMemo2")->isEnabled(), mode == ModeAdministrator);

    QCOMPARE(w.shownPages(), pages);
    if (!active.isEmpty())
        QCOMPARE(w.currentPageName(), active);

    QTEST(visibleEntries(w.menu("mnuFile")), "file");
    QFETCH(QStringList, view);
    QCOMPARE(w.menu("mnuView")->menuAction()->isVisible(), !view.isEmpty());
    if (!view.isEmpty())
        QCOMPARE(visibleEntries(w.menu("mnuView")), view);
    QFETCH(QStringList, tools);
    QCOMPARE(w.menu("mnuTools")->menuAction()->isVisible(), !tools.isEmpty());
    if (!tools.isEmpty())
        QCOMPARE(visibleEntries(w.menu("mnuTools")), tools);
    QTEST(w.menu("mnuHelp")->menuAction()->isVisible(), "help");

    QTEST(outlookText(w), "outlook");
    QTEST(w.openOutlookGroup(), "openGroup");

    const QString loggedUser = w.findChild<QLabel *>("stpLoggedUser")->text();
    if (userPrefix.isEmpty())
        QCOMPARE(loggedUser, QString());
    else
        QVERIFY2(loggedUser.startsWith(userPrefix + "admin01 logged on at "), qPrintable(loggedUser));

    for (const QString &e : {"Mode - Supervisor", "Mode - Administrator", "Mode - User", "Mode - Unattended"})
        QCOMPARE(logCount(home, e), e == logEvent ? 1 : 0);
}

void TestModes::noDatabaseKeepsLoginCaption()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.setMode(ModeNoDatabase);
    // "-" in the table: the caption of the mode before stays.
    QCOMPARE(w.findChild<QPushButton *>("btnLogin")->text(), QString("&Log out"));
    w.setMode(ModeUnattended);
    w.setMode(ModeNoDatabase);
    QCOMPARE(w.findChild<QPushButton *>("btnLogin")->text(), QString("&Log in"));
    // The About button keeps its enabled state from the mode before.
    QVERIFY(!w.findChild<QPushButton *>("btnAbout")->isEnabled());

    // The receivers' table entry: hidden for a User, back for the next Administrator.
    w.setMode(ModeUser);
    QVERIFY(!w.action("popReceiverTable")->isVisible());
    w.setMode(ModeAdministrator);
    QVERIFY(w.action("popReceiverTable")->isVisible());
    QVERIFY(w.action("popReceiverTable")->isEnabled());
}

void TestModes::userListFilters_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("Supervisor") << 1 << QStringList{"admin01", "user0001"};
    QTest::newRow("Administrator") << 2 << QStringList{"user0001"};
}

void TestModes::userListFilters()
{
    QFETCH(int, mode);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().AddUser({"super01", "Sue", "Per", "password1", 1, QDate::currentDate().addDays(30)});
    home.db().AddUser({"admin01", "Ada", "Min", "password1", 2, QDate::currentDate().addDays(30)});
    home.db().AddUser({"user0001", "Ursula", "Ser", "password1", 3, QDate::currentDate().addDays(30)});
    loginAs(mode);
    TfrmMain w(home.db());
    auto *grid = w.findChild<TMXDBGrid *>("dbgUser");
    QStringList names;
    for (int r = 0; r < grid->rowCount(); ++r)
        names << grid->value(r, "UserLoginName").toString();
    QTEST(names, "listed");
}

void TestModes::serviceLoginShowsDebugAndEveryUser()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().AddUser({"super01", "Sue", "Per", "password1", 1, QDate::currentDate().addDays(30)});
    home.db().AddUser({"admin01", "Ada", "Min", "password1", 2, QDate::currentDate().addDays(30)});
    loginAs(ModeAdministrator, ServiceLoginName());
    Login().ServiceLogin = true;
    TfrmMain w(home.db());
    QVERIFY(shown(w.findChild<QPushButton *>("btnDebug")));
    auto *grid = w.findChild<TMXDBGrid *>("dbgUser");
    QCOMPARE(grid->rowCount(), 2);
    // Debug opens the trace window once, and brings it back on the next click.
    w.findChild<QPushButton *>("btnDebug")->click();
    auto traceWindows = [] {
        int n = 0;
        for (QWidget *t : QApplication::topLevelWidgets())
            if (t->objectName() != "TfrmMain" && t->windowTitle() != "Kovra Console | Main" && qobject_cast<QDialog *>(t)
                && t->isVisible())
                ++n;
        return n;
    };
    QCOMPARE(traceWindows(), 1);
    w.findChild<QPushButton *>("btnDebug")->click();
    QCOMPARE(traceWindows(), 1);
    QVERIFY(dialogs.shown().isEmpty());   // no "Not available" notice
    // Debug only in mode Administrator.
    w.setMode(ModeUser);
    QVERIFY(!shown(w.findChild<QPushButton *>("btnDebug")));
}

void TestModes::logOutAndAutoLogoutPath()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeUser, "user0001");
    TfrmMain w(home.db());
    dialogs.answerNo();
    w.findChild<QPushButton *>("btnLogin")->click();
    QCOMPARE(int(w.applicationMode().Mode), int(ModeUser));
    QCOMPARE(dialogs.lastText(), QString("Do you really want to log out?"));
    dialogs.answerYes();
    w.findChild<QPushButton *>("btnLogin")->click();
    QCOMPARE(int(w.applicationMode().Mode), int(ModeUnattended));
    QCOMPARE(Login().CurrentMode, int(ModeUnattended));
    QCOMPARE(Login().CurrentUserType, int(ModeUnattended));
    QCOMPARE(int(w.applicationMode().UserType), int(ModeUnattended));
    QCOMPARE(logCount(home, "User Logout"), 1);
    QCOMPARE(w.findChild<QPushButton *>("btnLogin")->text(), QString("&Log in"));

    // The auto-logout's path writes no "User Logout".
    loginAs(ModeAdministrator);
    w.applyLoginMode();
    QCOMPARE(int(w.applicationMode().Mode), int(ModeAdministrator));
    w.logOut(false);
    QCOMPARE(int(w.applicationMode().Mode), int(ModeUnattended));
    QCOMPARE(logCount(home, "User Logout"), 1);
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestModes::quitRefusedWhileUnattended()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeUnattended);
    TfrmMain w(home.db());
    w.show();
    QVERIFY(!w.findChild<QPushButton *>("btnExit")->isEnabled());
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(dialogs.lastText(), QString("Please log in first."));
    QCOMPARE(dialogs.shown().last().lifetimeMs, 5000);
    w.action("itmExit")->trigger();   // the menu's Exit is refused the same way
    QVERIFY(w.isVisible());
    QCOMPARE(logCount(home, "Application Closed"), 0);
}

void TestModes::quitAskedOtherwise()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.show();
    w.resize(900, 640);
    QSignalSpy closed(&w, &TfrmMain::closed);
    dialogs.answerNo();
    QVERIFY(!w.close());
    QCOMPARE(dialogs.lastText(), QString("Do you really want to quit the Application?"));
    QCOMPARE(dialogs.shown().last().caption, QString("Confirmation"));
    QCOMPARE(dialogs.shown().last().kind, MessageKind::YesNo);
    QVERIFY(w.isVisible());
    QCOMPARE(logCount(home, "Application Closed"), 0);

    dialogs.answerYes();
    w.findChild<QPushButton *>("btnExit")->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(logCount(home, "Application Closed"), 1);
    const IniFile ini(ConfigFilePath());
    QCOMPARE(ini.readInteger(w.placementSection(), "Width", 0), 900);
    QCOMPARE(ini.readInteger(w.placementSection(), "Height", 0), 640);
    QVERIFY(ini.hasKey("Config", "VALIDITY"));   // configuration written too

    // The next window comes up where the last one was left.
    TfrmMain again(home.db());
    QCOMPARE(again.size(), QSize(900, 640));
}

void TestModes::loginFromUnattended_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");   // answer of the database gate
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("ok") << "password1" << "DB/dbKovraConsole.kdb" << 3
                        << QStringList{"tbsKovra", "tbsReceiver", "tbsLogs"};
    QTest::newRow("database fails: abort") << "password1" << "DB/missing.kdb" << 5 << QStringList{"tbsLogs"};
    QTest::newRow("cancelled") << "" << "" << 4 << QStringList{"tbsLogs"};
}

void TestModes::loginFromUnattended()
{
    QFETCH(QString, password);
    QFETCH(QString, database);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().AddUser({"user0001", "Ursula", "Ser", "password1", 3, QDate::currentDate().addDays(30)});
    home.db().setNeedsDatabase(true);   // as after start-up: the first User login picks a database
    loginAs(ModeUnattended);
    TfrmMain w(home.db());
    if (!database.isEmpty())
        dialogs.queueFile(home.file(database));
    QTimer::singleShot(0, [password] {
        for (QWidget *t : QApplication::topLevelWidgets()) {
            auto *l = qobject_cast<TfrmLogin *>(t);
            if (!l || !l->isVisible())
                continue;
            l->setCancelPauseMs(0);
            if (password.isEmpty()) {
                l->findChild<QPushButton *>("btnCancel")->click();
                return;
            }
            l->findChild<QLineEdit *>("edtLoginName")->setText("user0001");
            l->findChild<QLineEdit *>("edtPassword")->setText(password);
            l->findChild<QPushButton *>("btnOK")->click();
        }
    });
    w.outlookItem("Log in");
    QTEST(int(w.applicationMode().Mode), "mode");
    QTEST(w.shownPages(), "pages");
    QCOMPARE(w.findChild<QPushButton *>("btnLogin")->text(),
             password.isEmpty() ? QString("&Log in") : QString("&Log out"));
    if (!password.isEmpty()) {
        QCOMPARE(int(w.applicationMode().UserType), int(ModeUser));
        QCOMPARE(logCount(home, "User Login"), 1);
        QCOMPARE(logCount(home, "Mode - User"), 1);   // the abort passes through the user's mode
    }
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestModes::pageChangeOpensMatchingGroup_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("group");
    QTest::newRow("admin accounts") << 2 << "tbsKovra" << 2;
    QTest::newRow("admin receivers") << 2 << "tbsReceiver" << 3;
    QTest::newRow("admin users") << 2 << "tbsManageUsers" << 4;
    QTest::newRow("admin logs") << 2 << "tbsLogs" << 5;
    QTest::newRow("supervisor users") << 1 << "tbsManageUsers" << 2;
    QTest::newRow("supervisor logs") << 1 << "tbsLogs" << 3;
    QTest::newRow("user receivers") << 3 << "tbsReceiver" << 3;
    QTest::newRow("user logs") << 3 << "tbsLogs" << 4;
}

void TestModes::pageChangeOpensMatchingGroup()
{
    QFETCH(int, mode);
    QFETCH(QString, page);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(mode);
    TfrmMain w(home.db());
    w.showPage(page);
    QCOMPARE(w.currentPageName(), page);
    QTEST(w.openOutlookGroup(), "group");
    // And back: an outlook group click shows its page.
    w.outlookBar()->setCurrentIndex(1);
    QCOMPARE(w.currentPageName(), mode == 1 ? QString("tbsManageUsers") : QString("tbsKovra"));
}

QTEST_MAIN(TestModes)
#include "tst_modes.moc"
