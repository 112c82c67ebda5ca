// The auto-logout: which input resets the idle time, how the tick counts and
// when it stays still, the retry while the console is busy, and, with the real
// main window, an idle console whose open window and question are closed.
#include "AutoLogout.h"
#include "DatabaseMaintenance.h"
#include "InstallationFolder.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "MessageDialogs.h"
#include "ScriptedDialogs.h"
#include "TMXMessageDialog.h"
#include "TWidgetDialogBackend.h"
#include "TdmdMain.h"
#include "TfrmAbout.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using namespace kovra;

namespace {

// Far beyond any test's run: the tests call tick() themselves.
const int NeverMs = 3600 * 1000;

struct FakeMainWindow : MainWindowHooks {
    explicit FakeMainWindow(int mode) : currentMode(mode) { SetMainWindowHooks(this); }
    ~FakeMainWindow() override { SetMainWindowHooks(nullptr); }
    int mode() const override { return currentMode; }
    void setMode(int m) override { currentMode = m; }
    void applyLoginMode() override {}
    void logOut(bool logEvent) override
    {
        logOuts << logEvent;
        currentMode = ModeUnattended;
    }
    bool closeWindowsForAutoLogout() override
    {
        ++clearRequests;
        return canClear;
    }
    void setCurrentDatabaseLabel(const QString &) override {}
    void setDebugButtonVisible(bool) override {}
    void refreshAll() override {}

    int currentMode;
    bool canClear = true;
    int clearRequests = 0;
    QList<bool> logOuts;
};

QStringList logEvents(TdmdMain &db)
{
    QStringList out;
    QSqlQuery q = RunSql(db.userDatabase(), "SELECT Event FROM tblLog ORDER BY Event_ID");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void enableAutoLogout(TdmdMain &db, int seconds)
{
    db.settings().noAutoLogout = false;
    db.settings().autoLogoutTime = seconds;
}

} // namespace

class TestAutoLogout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void logsOutOnTwelfthTickOfAMinute();
    void inputResetsIdleTime_data();
    void inputResetsIdleTime();
    void tickStandsStill_data();
    void tickStandsStill();
    void retriesWhileConsoleCannotBeCleared();
    void timerDrivesTheTick();
    void idleConsoleClosesWindowAndQuestion();
    void longOperationHoldsOffTheLogout();
};

void TestAutoLogout::init()
{
    Login() = LoginState();
    ResetLastTimedMessage();
}

void TestAutoLogout::logsOutOnTwelfthTickOfAMinute()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    enableAutoLogout(home.db(), 60);
    FakeMainWindow main(ModeAdministrator);
    AutoLogout logout(home.db(), nullptr, NeverMs, 20);

    for (int i = 1; i <= 11; ++i) {
        logout.tick();
        QCOMPARE(logout.idleSeconds(), 5 * i);
    }
    QCOMPARE(main.clearRequests, 0);
    logout.tick();
    QCOMPARE(main.clearRequests, 1);
    QCOMPARE(logout.idleSeconds(), 0);
    QCOMPARE(logEvents(home.db()), QStringList{"Auto-Logout"});
    QVERIFY(main.logOuts.isEmpty());   // a moment later, not inside the tick
    QTRY_COMPARE(main.logOuts, QList<bool>{false});
    QCOMPARE(main.mode(), int(ModeUnattended));
    QVERIFY(!logEvents(home.db()).contains("User Logout"));
}

void TestAutoLogout::inputResetsIdleTime_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("resets");
    QTest::newRow("key press") << "keypress" << true;
    QTest::newRow("key release") << "keyrelease" << true;
    QTest::newRow("left button") << "left" << true;
    QTest::newRow("right button") << "right" << true;
    QTest::newRow("middle button") << "middle" << true;
    QTest::newRow("back button") << "back" << false;
    QTest::newRow("wheel") << "wheel" << false;
}

void TestAutoLogout::inputResetsIdleTime()
{
    QFETCH(QString, input);
    QFETCH(bool, resets);
    InstallationFolder home(false);
    enableAutoLogout(home.db(), 600);
    FakeMainWindow main(ModeUser);
    AutoLogout logout(home.db(), nullptr, NeverMs);
    QLineEdit target;
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));

    logout.tick();
    logout.tick();
    QCOMPARE(logout.idleSeconds(), 10);
    if (input == "keypress")
        QTest::keyPress(&target, Qt::Key_A);
    else if (input == "keyrelease")
        QTest::keyRelease(&target, Qt::Key_A);
    else if (input == "left")
        QTest::mousePress(&target, Qt::LeftButton);
    else if (input == "right")
        QTest::mousePress(&target, Qt::RightButton);
    else if (input == "middle")
        QTest::mousePress(&target, Qt::MiddleButton);
    else if (input == "back")
        QTest::mousePress(&target, Qt::BackButton);
    else if (input == "wheel") {
        QWheelEvent wheel(QPointF(5, 5), target.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&target, &wheel);
    }
    QCOMPARE(logout.idleSeconds(), resets ? 0 : 10);
    QCOMPARE(target.text(), input == "keypress" ? QString("a") : QString());   // passed on unchanged
}

void TestAutoLogout::tickStandsStill_data()
{
    QTest::addColumn<bool>("noAutoLogout");
    QTest::addColumn<int>("mode");   // -1: no main window
    QTest::newRow("no auto-logout set") << true << int(ModeAdministrator);
    QTest::newRow("unattended") << false << int(ModeUnattended);
    QTest::newRow("no main window") << false << -1;
}

void TestAutoLogout::tickStandsStill()
{
    QFETCH(bool, noAutoLogout);
    QFETCH(int, mode);
    InstallationFolder home(false);
    enableAutoLogout(home.db(), 5);
    home.db().settings().noAutoLogout = noAutoLogout;
    std::unique_ptr<FakeMainWindow> main;
    if (mode >= 0)
        main = std::make_unique<FakeMainWindow>(mode);
    AutoLogout logout(home.db(), nullptr, NeverMs, 0);
    for (int i = 0; i < 5; ++i)
        logout.tick();
    QCOMPARE(logout.idleSeconds(), 0);
    QTest::qWait(20);
    if (main) {
        QCOMPARE(main->clearRequests, 0);
        QVERIFY(main->logOuts.isEmpty());
    }
    QVERIFY(logEvents(home.db()).isEmpty());
}

void TestAutoLogout::retriesWhileConsoleCannotBeCleared()
{
    InstallationFolder home(false);
    enableAutoLogout(home.db(), 10);
    FakeMainWindow main(ModeNoDatabase);   // counts in every mode but Unattended
    main.canClear = false;                 // e.g. a backup is running
    AutoLogout logout(home.db(), nullptr, NeverMs, 0);
    logout.tick();
    logout.tick();
    logout.tick();
    QCOMPARE(main.clearRequests, 2);
    QCOMPARE(logout.idleSeconds(), 15);
    QVERIFY(logEvents(home.db()).isEmpty());
    main.canClear = true;
    logout.tick();
    QCOMPARE(main.clearRequests, 3);
    QCOMPARE(logout.idleSeconds(), 0);
    QCOMPARE(logEvents(home.db()), QStringList{"Auto-Logout"});
    QTRY_COMPARE(main.logOuts, QList<bool>{false});
}

void TestAutoLogout::timerDrivesTheTick()
{
    InstallationFolder home(false);
    enableAutoLogout(home.db(), 15);
    FakeMainWindow main(ModeSupervisor);
    AutoLogout logout(home.db(), nullptr, 10, 10);
    QTRY_COMPARE(main.logOuts, QList<bool>{false});
    QCOMPARE(main.clearRequests, 1);
    QCOMPARE(logEvents(home.db()), QStringList{"Auto-Logout"});
}

void TestAutoLogout::idleConsoleClosesWindowAndQuestion()
{
    TWidgetDialogBackend widgets;
    DialogBackend *previous = SetDialogBackend(&widgets);
    {
        InstallationFolder home(true);
        Login().CurrentUserName = "Admin01";
        Login().CurrentUserType = ModeAdministrator;
        Login().CurrentMode = ModeAdministrator;
        TfrmMain main(home.db());
        enableAutoLogout(home.db(), 5);   // after the window has read the configuration again
        main.applyLoginMode();
        main.show();
        QCOMPARE(MainWindow(), static_cast<MainWindowHooks *>(&main));
        QCOMPARE(main.mode(), int(ModeAdministrator));

        bool questionDeclined = false;
        bool aboutWasOpen = false;
        bool questionAsked = false;
        AutoLogout *logout = nullptr;
        // An about window, and over it a question, both waiting for the user.
        QTimer::singleShot(0, &main, [&] {
            QTimer::singleShot(0, &main, [&] {
                aboutWasOpen = TfrmAbout::current() && TfrmAbout::current()->isVisible();
                questionAsked = true;
                // The idle tick starts only now, while both windows are up.
                logout = new AutoLogout(home.db(), &main, 10, 50);
                questionDeclined = AskQuestion("Confirmation", "Do you want to go on?", MessageKind::YesNo);
            });
            ShowAbout(&main);
        });
        // Should the console fail to clear itself, end the waits so the checks below fail instead of hanging.
        QTimer::singleShot(20000, &main, [] {
            TMXMessageDialog::declineAll();
            if (TfrmAbout::current())
                TfrmAbout::current()->reject();
        });
        QTRY_VERIFY(questionAsked);
        QTRY_COMPARE(main.mode(), int(ModeUnattended));

        QVERIFY(aboutWasOpen);
        QVERIFY(questionDeclined);
        QVERIFY(!TfrmAbout::current());
        QVERIFY(logout);
        const QStringList events = logEvents(home.db());
        QVERIFY2(events.contains("Auto-Logout"), qPrintable(events.join(", ")));
        QVERIFY(!events.contains("User Logout"));
        QCOMPARE(LastTimedMessage(), QString("Auto-Logout."));   // the notice is on screen
    }
    SetDialogBackend(previous);
    ResetLastTimedMessage();
}

void TestAutoLogout::longOperationHoldsOffTheLogout()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(true);
    Login().CurrentUserName = "User0001";
    Login().CurrentUserType = ModeUser;
    Login().CurrentMode = ModeUser;
    TfrmMain main(home.db());
    enableAutoLogout(home.db(), 10);
    main.applyLoginMode();
    AutoLogout logout(home.db(), nullptr, NeverMs, 0);
    {
        ConsoleBusyScope busy;   // e.g. an account export in progress
        for (int i = 0; i < 4; ++i)
            logout.tick();
        QTest::qWait(20);
        QCOMPARE(main.mode(), int(ModeUser));
        QVERIFY(!logEvents(home.db()).contains("Auto-Logout"));
    }
    logout.tick();   // the next tick after the operation ends
    QVERIFY(logEvents(home.db()).contains("Auto-Logout"));
    QTRY_COMPARE(main.mode(), int(ModeUnattended));
    QVERIFY(!logEvents(home.db()).contains("User Logout"));
    QVERIFY(dialogs.texts().contains("Auto-Logout."));
}

QTEST_MAIN(TestAutoLogout)
#include "tst_autologout.moc"
