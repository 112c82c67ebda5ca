// Start-up order: data module, unattended start or login gate, password
// expiry, main window; and every way start-up ends the console.
#include "InstallationFolder.h"
#include "LoginFlow.h"
#include "LoginState.h"
#include "MainStartup.h"
#include "ScriptedDialogs.h"
#include "TApplicationMode.h"
#include "TdmdMain.h"
#include "TempHome.h"
#include "TfrmLogin.h"
#include "TfrmMain.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>
#include <functional>

using namespace kovra;

namespace {

// Acts on the login window once its exec() runs.
void onLogin(std::function<void(TfrmLogin *)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *l = qobject_cast<TfrmLogin *>(w); l && l->isVisible()) {
                act(l);
                return;
            }
        QFAIL("no login window on screen");
    });
}

void typeLogin(TfrmLogin *l, const QString &name, const QString &password)
{
    l->findChild<QLineEdit *>("edtLoginName")->setText(name);
    l->findChild<QLineEdit *>("edtPassword")->setText(password);
    l->findChild<QPushButton *>("btnOK")->click();
}

int events(TdmdMain &dm, const QString &event)
{
    QSqlQuery q(dm.userDatabase());
    q.prepare("SELECT count(*) FROM tblLog WHERE Event = ?");
    q.addBindValue(event);
    q.exec();
    q.next();
    return q.value(0).toInt();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void unattendedStart_data();
    void unattendedStart();
    void loginCancelledEnds();
    void withoutUserDatabase();
    void userDatabaseWithoutTables();
    void loginOpensMainWindowInUsersMode();
    void expiredPasswordNotChangedEnds();
    void threeFailuresEnd();

private:
    TerminationRequest m_previousTermination;
    int m_terminations = 0;
};

void TestStartup::init()
{
    m_terminations = 0;
    m_previousTermination = SetTerminationRequest([this] { ++m_terminations; });
    Login() = LoginState();
}

void TestStartup::cleanup()
{
    SetTerminationRequest(m_previousTermination);
    SetForcedPasswordChange(nullptr);
    Login() = LoginState();
}

void TestStartup::unattendedStart_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("unattended");
    QTest::newRow("-U") << QStringList{"-U"} << true;
    QTest::newRow("-u") << QStringList{"-u"} << true;
    QTest::newRow("second ignored") << QStringList{"-u", "whatever"} << true;
    QTest::newRow("only first counts") << QStringList{"x", "-U"} << false;
    QTest::newRow("other") << QStringList{"-unattended"} << false;
    QTest::newRow("none") << QStringList() << false;
}

void TestStartup::unattendedStart()
{
    QFETCH(QStringList, args);
    QFETCH(bool, unattended);
    QCOMPARE(IsUnattendedStart(args), unattended);
    if (!unattended)
        return;   // the login path is driven below
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().CloseDatabase();   // the console opens the files itself, exclusively
    auto s = StartConsole(args);
    QVERIFY(s->main);
    QVERIFY(!s->terminate);
    QVERIFY(s->communication);
    QCOMPARE(Login().CurrentMode, int(ModeUnattended));
    QCOMPARE(Login().CurrentUserType, int(ModeUnattended));
    QCOMPARE(int(s->main->applicationMode().Mode), int(ModeUnattended));
    QCOMPARE(int(s->main->applicationMode().UserType), int(ModeUnattended));
    QCOMPARE(s->main->windowTitle(), QString("Kovra Console | Main"));
    QCOMPARE(s->main->shownPages(), QStringList{"tbsLogs"});
    QCOMPARE(events(*s->dm, "Mode - Unattended"), 1);
    QCOMPARE(events(*s->dm, "User Login"), 0);
    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(m_terminations, 0);
}

void TestStartup::loginCancelledEnds()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().CloseDatabase();
    onLogin([](TfrmLogin *l) {
        l->setCancelPauseMs(0);
        QCOMPARE(l->windowTitle(), QString("Kovra Console | Login"));
        l->findChild<QPushButton *>("btnCancel")->click();
    });
    auto s = StartConsole({"x", "-U"});
    QVERIFY(s->startupAborted);
    QVERIFY(s->terminate);
    QVERIFY(!s->main);
    QVERIFY(m_terminations >= 1);
    QVERIFY(dialogs.texts().contains("Login cancelled.\r\nApplication terminated."));
}

void TestStartup::withoutUserDatabase()
{
    ScriptedDialogs dialogs;
    TempHome home;   // folders, but no udb.kdb
    auto s = StartConsole({});
    QVERIFY(s->terminate);
    QVERIFY(!s->main);
    QCOMPARE(dialogs.texts(), QStringList{"User Database is missing. Please re-install the Kovra Console."});
    QCOMPARE(dialogs.shown().first().caption, QString("Error"));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 0);
}

void TestStartup::userDatabaseWithoutTables()
{
    ScriptedDialogs dialogs;
    TempHome home;
    {
        // An SQLite file that is not a Kovra user database.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
        db.setDatabaseName(home.file("udb.kdb"));
        QVERIFY(db.open());
        QSqlQuery(db).exec("CREATE TABLE other (x INTEGER)");
        db.close();
    }
    QSqlDatabase::removeDatabase("foreign");
    auto s = StartConsole({"-u"});
    // Reported without ending: the console runs in mode No Database.
    QVERIFY(!s->terminate);
    QVERIFY(s->main);
    QVERIFY(dialogs.texts().contains("This is not a Kovra Database file."));
    QCOMPARE(Login().CurrentMode, int(ModeNoDatabase));
    QCOMPARE(Login().CurrentUserType, 0);
    QCOMPARE(s->main->shownPages(), QStringList{"tbsLogs"});
    QCOMPARE(s->main->findChild<QLabel *>("stpMode")->text(), QString("Mode - No Database"));
    QCOMPARE(s->main->findChild<QPushButton *>("btnLogin")->text(), QString("L&og out"));
}

void TestStartup::loginOpensMainWindowInUsersMode()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().AddUser({"admin01", "Ada", "Min", "secret-pass", 2, QDate::currentDate().addDays(30)});
    home.db().CloseDatabase();
    dialogs.queueFile(home.file("DB/dbKovraConsole.kdb"));   // the database gate of an Administrator
    onLogin([](TfrmLogin *l) { typeLogin(l, "admin01", "secret-pass"); });
    auto s = StartConsole({});
    QVERIFY(!s->startupAborted);
    QVERIFY(s->main);
    QCOMPARE(int(s->main->applicationMode().Mode), int(ModeAdministrator));
    QCOMPARE(s->main->currentPageName(), QString("tbsKovra"));
    QVERIFY(s->dm->databaseOpen());
    QCOMPARE(events(*s->dm, "User Login"), 1);
    QCOMPARE(events(*s->dm, "Mode - Administrator"), 1);
    QVERIFY(s->main->findChild<QLabel *>("lblCurrentDatabase")->text().endsWith("dbKovraConsole.kdb"));
    QCOMPARE(m_terminations, 0);
}

void TestStartup::expiredPasswordNotChangedEnds()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().AddUser({"super01", "Sue", "Per", "secret-pass", 1, QDate::currentDate()});
    home.db().CloseDatabase();
    int offered = 0;
    SetForcedPasswordChange([&offered](TdmdMain &, const QString &old) {
        ++offered;
        return old.isEmpty();   // "cancelled" when the old password was handed over
    });
    onLogin([](TfrmLogin *l) { typeLogin(l, "super01", "secret-pass"); });
    auto s = StartConsole({});
    QCOMPARE(offered, 1);
    QVERIFY(s->startupAborted);
    QVERIFY(s->terminate);
    QVERIFY(!s->main);
    QCOMPARE(dialogs.lastText(), QString("You did not change your Password. Application terminated."));
    QCOMPARE(dialogs.shown().last().caption, QString("Error"));
    QCOMPARE(m_terminations, 1);
}

void TestStartup::threeFailuresEnd()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().CloseDatabase();
    onLogin([](TfrmLogin *l) {
        for (int i = 0; i < 3; ++i)
            typeLogin(l, "nobody01", "wrong-password");
    });
    auto s = StartConsole({});
    QVERIFY(s->startupAborted);
    QVERIFY(!s->main);
    QVERIFY(dialogs.texts().contains("You are not allowed to run the program.\r\nApplication terminated."));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
