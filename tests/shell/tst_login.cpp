// The login window with its account-database gate, the password-expiry check
// with its forced change, and the change-password window, driven as a person
// would on a fresh installation.
#include "InstallationFolder.h"
#include "BuildSettings.h"
#include "LoginFlow.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "ScriptedDialogs.h"
#include "TdmdMain.h"
#include "TfrmChangePassword.h"
#include "TfrmLogin.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace kovra;

namespace {

const char *const InvalidLogin =
    "You have entered an invalid Password and/or Login name. Please remember that the Password and "
    "Login Name are case sensitive. Please try again.";

// Stands in for the main window where a test needs one to exist.
struct FakeMainWindow : MainWindowHooks {
    explicit FakeMainWindow(int mode) : currentMode(mode) { SetMainWindowHooks(this); }
    ~FakeMainWindow() override { SetMainWindowHooks(nullptr); }
    int mode() const override { return currentMode; }
    void setMode(int m) override { currentMode = m; }
    void applyLoginMode() override {}
    void logOut(bool) override {}
    bool closeWindowsForAutoLogout() override { return true; }
    void setCurrentDatabaseLabel(const QString &path) override { databaseLabel = path; }
    void setDebugButtonVisible(bool visible) override { debugVisible = visible ? 1 : 0; }
    void refreshAll() override {}

    int currentMode;
    QString databaseLabel;
    int debugVisible = -1;   // -1: never told
};

int addUser(TdmdMain &db, const QString &name, const QString &password, int type,
            QDate expires = QDate::currentDate().addDays(30))
{
    UserRecord u;
    u.UserLoginName = name;
    u.UserFirstName = "First";
    u.UserLastName = "Last";
    u.password = password;
    u.UserType = type;
    u.UserExpireDate = expires;
    return db.AddUser(u);
}

QStringList logEvents(TdmdMain &db)
{
    QStringList out;
    QSqlQuery q = RunSql(db.userDatabase(), "SELECT Event, EventDescription FROM tblLog ORDER BY Event_ID");
    while (q.next())
        out << q.value(0).toString() + " / " + q.value(1).toString();
    return out;
}

QString storedPassword(TdmdMain &db, const QString &name)
{
    QSqlQuery q = RunSql(db.userDatabase(),
                         "SELECT UserPassword FROM tblUser WHERE UserLoginName = ? COLLATE BINARY", {name});
    return q.next() ? q.value(0).toString() : QString();
}

QDate storedExpiry(TdmdMain &db, const QString &name)
{
    QSqlQuery q = RunSql(db.userDatabase(),
                         "SELECT UserExpireDate FROM tblUser WHERE UserLoginName = ? COLLATE BINARY", {name});
    return q.next() ? ReadStoredDate(q.value(0)) : QDate();
}

// The service login's password is a build setting; the test reads it where the build keeps it.
QString servicePassword() { return BuildSetting(QStringLiteral("KOVRA_SERVICE_PASSWORD")); }

QLineEdit *edit(QWidget *w, const char *name) { return w->findChild<QLineEdit *>(name); }
QPushButton *button(QWidget *w, const char *name) { return w->findChild<QPushButton *>(name); }

void typeLogin(TfrmLogin &w, const QString &name, const QString &password)
{
    edit(&w, "edtLoginName")->clear();
    QTest::keyClicks(edit(&w, "edtLoginName"), name);
    edit(&w, "edtPassword")->clear();
    QTest::keyClicks(edit(&w, "edtPassword"), password);
}

// Runs `act` on the open change-password window once exec() has started.
void onChangePassword(std::function<void(TfrmChangePassword *)> act)
{
    QTimer::singleShot(0, [act] {
        TfrmChangePassword *w = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *c = qobject_cast<TfrmChangePassword *>(top); c && c->isVisible())
                w = c;
        QVERIFY2(w, "no change-password window on screen");
        act(w);
    });
}

} // namespace

class TestLogin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void admitsEachRole_data();
    void admitsEachRole();
    void okNeedsEightCharacters();
    void enterMovesToPasswordThenSubmits();
    void refusesWrongCredentials_data();
    void refusesWrongCredentials();
    void threeFailuresEndTheLogin_data();
    void threeFailuresEndTheLogin();
    void cancelClosesTheWindow_data();
    void cancelClosesTheWindow();
    void serviceLoginShowsDebugWithoutLogEntry();
    void gateCancelledEndsTheApplication();
    void gateFailureAborts_data();
    void gateFailureAborts();
    void gateSkippedWhenDatabaseAlreadyOpen();

    void expiryDecision_data();
    void expiryDecision();
    void expiredPasswordMustBeChanged_data();
    void expiredPasswordMustBeChanged();
    void unknownUserFailsExpiryCheck();

    void changePasswordRules_data();
    void changePasswordRules();
    void shortenedNewPasswordNeverConfirms();
    void changePasswordChecksOldPassword();
    void changePasswordTouchesOnlyOwnRow();
    void escapeInOldPasswordBox();

private:
    int m_terminations = 0;
};

void TestLogin::initTestCase()
{
    SetTerminationRequest([this] { ++m_terminations; });
}

void TestLogin::init()
{
    m_terminations = 0;
    Login() = LoginState();
    ResetLastTimedMessage();
}

void TestLogin::admitsEachRole_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("asksForDatabase");
    QTest::newRow("Supervisor") << 1 << false;
    QTest::newRow("Administrator") << 2 << true;
    QTest::newRow("User") << 3 << true;
}

void TestLogin::admitsEachRole()
{
    QFETCH(int, type);
    QFETCH(bool, asksForDatabase);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);   // as after start-up: only the user database is open
    addUser(home.db(), "Alice01", "Secret#123", type);
    if (asksForDatabase)
        dialogs.queueFile(home.file("DB/dbKovraConsole.kdb"));

    TfrmLogin w(home.db());
    QCOMPARE(w.windowTitle(), QString("Kovra Console | Login"));
    w.show();
    typeLogin(w, "Alice01", "Secret#123");
    button(&w, "btnOK")->click();

    QCOMPARE(w.result(), int(LoginOk));
    QVERIFY(!w.isVisible());
    QVERIFY2(dialogs.shown().isEmpty(), qPrintable(dialogs.texts().join(" | ")));
    QCOMPARE(Login().CurrentUserName, QString("Alice01"));
    QCOMPARE(Login().CurrentUserType, type);
    QCOMPARE(Login().CurrentMode, type);
    QCOMPARE(Login().CurrentUserPassword, EncryptPassword("Alice01", "Secret#123"));
    QVERIFY(!Login().ServiceLogin);
    QVERIFY(logEvents(home.db()).contains("User Login / User Alice01 logged in"));

    QCOMPARE(dialogs.fileRequests().size(), asksForDatabase ? 1 : 0);
    QCOMPARE(home.db().databaseOpen(), asksForDatabase);
    if (asksForDatabase) {
        const FileDialogRequest &r = dialogs.fileRequests().first();
        QCOMPARE(r.title, QString("Kovra Console | Please Select a Database"));
        QCOMPARE(r.filter, QString("Kovra Database Files (*.kdb)"));
        QCOMPARE(QDir(r.folder).absolutePath(), QDir(home.file("DB")).absolutePath());
        QVERIFY(!home.db().needsDatabase());
        QCOMPARE(home.db().CurrentDatabasePath(), home.file("DB/dbKovraConsole.kdb"));
    }
}

void TestLogin::okNeedsEightCharacters()
{
    InstallationFolder home(false);
    TfrmLogin w(home.db());
    w.show();
    QPushButton *ok = button(&w, "btnOK");
    QLineEdit *password = edit(&w, "edtPassword");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->maxLength(), 30);
    QCOMPARE(edit(&w, "edtLoginName")->maxLength(), 30);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(password, "1234567");
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(password, "8");
    QVERIFY(ok->isEnabled());
    QTest::keyClick(password, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
}

void TestLogin::enterMovesToPasswordThenSubmits()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Super01", "Secret#123", 1);
    TfrmLogin w(home.db());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QLineEdit *name = edit(&w, "edtLoginName");
    QLineEdit *password = edit(&w, "edtPassword");
    QVERIFY(name->hasFocus());

    QTest::keyClick(name, Qt::Key_Return);   // empty name: stays
    QVERIFY(name->hasFocus());
    QTest::keyClicks(name, "Super01");
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(password->hasFocus());

    QTest::keyClicks(password, "Secret#");
    QTest::keyClick(password, Qt::Key_Return);   // 7 characters: OK not offered
    QVERIFY(w.isVisible());
    QVERIFY(dialogs.shown().isEmpty());
    QTest::keyClicks(password, "1");
    QTest::keyClick(password, Qt::Key_Enter);   // keypad Enter: 8 characters, tried and refused
    QCOMPARE(dialogs.texts(), QStringList{InvalidLogin});
    QCOMPARE(password->text(), QString());
    QVERIFY(w.isVisible());
    QTest::keyClicks(password, "Secret#123");
    QTest::keyClick(password, Qt::Key_Return);
    QCOMPARE(w.result(), int(LoginOk));
    QCOMPARE(Login().CurrentUserName, QString("Super01"));
}

void TestLogin::refusesWrongCredentials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("tamper");   // SQL run on the user database first
    QTest::newRow("wrong password") << "Smith01" << "Secret#124" << "";
    QTest::newRow("name in other case") << "smith01" << "Secret#123" << "";
    QTest::newRow("unknown name") << "Jones01" << "Secret#123" << "";
    QTest::newRow("trailing blank") << "Smith01 " << "Secret#123" << "";
    QTest::newRow("type raised by hand")
        << "Smith01" << "Secret#123" << "UPDATE tblUser SET UserType = 1 WHERE UserLoginName = 'Smith01'";
    QTest::newRow("type check not hexadecimal")
        << "Smith01" << "Secret#123" << "UPDATE tblUser SET UserTypeAuth = 'XYZ' WHERE UserLoginName = 'Smith01'";
}

void TestLogin::refusesWrongCredentials()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, tamper);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Smith01", "Secret#123", 3);
    if (!tamper.isEmpty())
        RunSql(home.db().userDatabase(), tamper);

    TfrmLogin w(home.db());
    w.show();
    typeLogin(w, name, password);
    button(&w, "btnOK")->click();

    QVERIFY(w.isVisible());
    QCOMPARE(w.failures(), 1);
    QCOMPARE(dialogs.shown().size(), 1);
    const ShownMessage &m = dialogs.shown().first();
    QCOMPARE(m.text, QString(InvalidLogin));
    QCOMPARE(m.caption, QString("Error"));
    QVERIFY(!m.infoStyle);
    QCOMPARE(m.lifetimeMs, 5000);
    QCOMPARE(edit(&w, "edtPassword")->text(), QString());
    QCOMPARE(edit(&w, "edtLoginName")->text(), name);
    QVERIFY(Login().CurrentUserName.isEmpty());
    QCOMPARE(Login().CurrentMode, 0);
    QVERIFY(logEvents(home.db()).filter("User Login").isEmpty());
    QVERIFY(dialogs.fileRequests().isEmpty());
}

void TestLogin::threeFailuresEndTheLogin_data()
{
    QTest::addColumn<int>("mainMode");   // -1: no main window (start-up)
    QTest::addColumn<QStringList>("lastTexts");
    QTest::newRow("at start-up") << -1
                                 << QStringList{"You are not allowed to run the program.\r\nApplication terminated.",
                                                "Login cancelled.\r\nApplication terminated."};
    QTest::newRow("main window unattended") << 4 << QStringList{};
    // The console stays up here, so the notices do not say it ends.
    QTest::newRow("main window without database")
        << 5 << QStringList{"You are not allowed to run the program.", "Login cancelled."};
}

void TestLogin::threeFailuresEndTheLogin()
{
    QFETCH(int, mainMode);
    QFETCH(QStringList, lastTexts);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Smith01", "Secret#123", 3);
    std::unique_ptr<FakeMainWindow> main;
    if (mainMode >= 0)
        main = std::make_unique<FakeMainWindow>(mainMode);

    TfrmLogin w(home.db());
    w.setCancelPauseMs(0);
    w.show();
    for (int i = 0; i < 3; ++i) {
        QVERIFY(w.isVisible());
        typeLogin(w, "Smith01", "Wrong#pass");
        button(&w, "btnOK")->click();
        dialogs.closeTimedMessages();   // the notice has gone before the next try
    }
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(LoginCancel));
    QCOMPARE(dialogs.texts(), QStringList({InvalidLogin, InvalidLogin}) + lastTexts);
    QVERIFY(logEvents(home.db()).filter("User Login").isEmpty());
    QCOMPARE(m_terminations, 0);   // ending the console is the caller's matter
    if (main)
        QCOMPARE(main->debugVisible, 0);

    // A new showing starts counting again: one more failure keeps the window open.
    dialogs.clear();
    w.show();
    QCOMPARE(w.failures(), 0);
    typeLogin(w, "Smith01", "Wrong#pass");
    button(&w, "btnOK")->click();
    QVERIFY(w.isVisible());
    QCOMPARE(dialogs.texts(), QStringList{InvalidLogin});
}

void TestLogin::cancelClosesTheWindow_data()
{
    QTest::addColumn<int>("mainMode");
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("button at start-up") << -1 << false << QStringList{"Login cancelled.\r\nApplication terminated."};
    QTest::newRow("escape at start-up") << -1 << true << QStringList{"Login cancelled.\r\nApplication terminated."};
    QTest::newRow("button when unattended") << 4 << false << QStringList{};
    QTest::newRow("button in mode unknown") << 0 << false << QStringList{"Login cancelled."};
}

void TestLogin::cancelClosesTheWindow()
{
    QFETCH(int, mainMode);
    QFETCH(bool, byEscape);
    QFETCH(QStringList, texts);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    std::unique_ptr<FakeMainWindow> main;
    if (mainMode >= 0)
        main = std::make_unique<FakeMainWindow>(mainMode);
    Login().ServiceLogin = true;   // left over from an earlier service login

    TfrmLogin w(home.db());
    w.setCancelPauseMs(20);
    QTimer::singleShot(0, &w, [&] {
        if (byEscape)
            QTest::keyClick(edit(&w, "edtLoginName"), Qt::Key_Escape);
        else
            button(&w, "btnCancel")->click();
    });
    QCOMPARE(w.exec(), int(LoginCancel));
    QCOMPARE(dialogs.texts(), texts);
    for (const ShownMessage &m : dialogs.shown())
        QCOMPARE(m.lifetimeMs, 5000);
    QVERIFY(!Login().ServiceLogin);   // cleared when the window was shown
    if (main)
        QCOMPARE(main->debugVisible, 0);
    QVERIFY(logEvents(home.db()).filter("User Login").isEmpty());
}

void TestLogin::serviceLoginShowsDebugWithoutLogEntry()
{
    const QString password = servicePassword();
    if (password.isEmpty())
        QSKIP("service password not found in the build's cache");
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    FakeMainWindow main(4);   // logging in from an unattended console
    dialogs.queueFile(home.file("DB/dbKovraConsole.kdb"));

    TfrmLogin w(home.db());
    w.show();
    typeLogin(w, ServiceLoginName(), password);
    button(&w, "btnOK")->click();

    QCOMPARE(w.result(), int(LoginOk));
    QVERIFY(Login().ServiceLogin);
    QCOMPARE(Login().CurrentUserType, 2);
    QCOMPARE(Login().CurrentMode, 2);
    QCOMPARE(Login().CurrentUserName, ServiceLoginName());
    QCOMPARE(main.debugVisible, 1);
    QCOMPARE(main.databaseLabel, home.file("DB/dbKovraConsole.kdb"));
    QVERIFY(logEvents(home.db()).filter("User Login").isEmpty());
    QVERIFY(CheckPasswordExpiry(home.db()));   // no user row, yet never expired

    // A wrong password under the service name is an ordinary failure.
    w.show();
    QVERIFY(!Login().ServiceLogin);
    typeLogin(w, ServiceLoginName(), password + "x");
    button(&w, "btnOK")->click();
    QVERIFY(w.isVisible());
    QVERIFY(!Login().ServiceLogin);
    QCOMPARE(dialogs.lastText(), QString(InvalidLogin));
}

void TestLogin::gateCancelledEndsTheApplication()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Admin01", "Secret#123", 2);
    dialogs.queueFile(QString());   // the open dialog is cancelled

    TfrmLogin w(home.db());
    w.setCancelPauseMs(0);
    w.show();
    typeLogin(w, "Admin01", "Secret#123");
    button(&w, "btnOK")->click();

    QCOMPARE(w.result(), int(LoginCancel));
    QCOMPARE(m_terminations, 1);
    QVERIFY(!dialogs.shown().isEmpty());
    const ShownMessage &m = dialogs.shown().first();
    QCOMPARE(m.text, QString("You must select a Database.\r\nApplication terminated."));
    QCOMPARE(m.lifetimeMs, 0);   // modal
    QVERIFY(!m.infoStyle);
    QVERIFY(!home.db().databaseOpen());
}

void TestLogin::gateFailureAborts_data()
{
    QTest::addColumn<QByteArray>("content");   // empty: the chosen file does not exist
    QTest::addColumn<int>("messageLifetime");
    QTest::newRow("not a database") << QByteArray(4096, 'x') << 0;
    QTest::newRow("database without tables") << QByteArray("") << 5000;
    QTest::newRow("file vanished") << QByteArray() << 5000;
}

void TestLogin::gateFailureAborts()
{
    QFETCH(QByteArray, content);
    QFETCH(int, messageLifetime);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Admin01", "Secret#123", 2);
    FakeMainWindow main(4);
    const QString chosen = home.file("DB/broken.kdb");
    if (!content.isNull()) {
        QFile f(chosen);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    dialogs.queueFile(chosen);

    TfrmLogin w(home.db());
    w.show();
    typeLogin(w, "Admin01", "Secret#123");
    button(&w, "btnOK")->click();

    QCOMPARE(w.result(), int(LoginAbort));
    QVERIFY(dialogs.texts().contains("An error occurred while opening the Database."));
    for (const ShownMessage &m : dialogs.shown())
        if (m.text == "An error occurred while opening the Database.")
            QCOMPARE(m.lifetimeMs, messageLifetime);
    QCOMPARE(Login().CurrentMode, 5);
    QCOMPARE(Login().CurrentUserType, 2);
    QCOMPARE(home.db().CurrentDatabasePath(), QString("No Database loaded."));
    QCOMPARE(main.databaseLabel, QString("No Database loaded."));
    QVERIFY(home.db().needsDatabase());
    QVERIFY(!home.db().databaseOpen());
    // The log stays writable.
    QVERIFY(home.db().userDatabaseOpen());
    home.db().WriteLogEvent(11);
    QVERIFY(logEvents(home.db()).contains("Auto-Logout / Auto-Logout"));
}

void TestLogin::gateSkippedWhenDatabaseAlreadyOpen()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(true);
    home.db().setNeedsDatabase(false);
    addUser(home.db(), "User0001", "Secret#123", 3);
    FakeMainWindow main(4);

    TfrmLogin w(home.db());
    w.show();
    typeLogin(w, "User0001", "Secret#123");
    button(&w, "btnOK")->click();
    QCOMPARE(w.result(), int(LoginOk));
    QVERIFY(dialogs.fileRequests().isEmpty());
    QVERIFY(home.db().databaseOpen());
    QCOMPARE(main.databaseLabel, QString());   // untouched
}

void TestLogin::expiryDecision_data()
{
    QTest::addColumn<int>("expiresInDays");
    QTest::addColumn<bool>("neverExpires");
    QTest::addColumn<bool>("mustChange");
    QTest::newRow("expires tomorrow") << 1 << false << false;
    QTest::newRow("expires today") << 0 << false << true;
    QTest::newRow("expired last year") << -365 << false << true;
    QTest::newRow("expired, never-expire set") << -365 << true << false;
}

void TestLogin::expiryDecision()
{
    QFETCH(int, expiresInDays);
    QFETCH(bool, neverExpires);
    QFETCH(bool, mustChange);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().settings().noPasswordExpire = neverExpires;
    addUser(home.db(), "User0001", "Secret#123", 3, QDate::currentDate().addDays(expiresInDays));
    Login().CurrentUserName = "User0001";
    Login().CurrentUserPassword = EncryptPassword("User0001", "Secret#123");

    int prompts = 0;
    const ForcedPasswordChange previous = SetForcedPasswordChange([&](TdmdMain &, const QString &) {
        ++prompts;
        return false;   // the user cancels
    });
    const bool admitted = CheckPasswordExpiry(home.db());
    SetForcedPasswordChange(previous);

    QCOMPARE(admitted, !mustChange);
    QCOMPARE(prompts, mustChange ? 1 : 0);
    QCOMPARE(dialogs.texts(), mustChange ? QStringList{"Your Password has expired. Please change your Password."}
                                         : QStringList{});
    QVERIFY(logEvents(home.db()).filter("User Password Change").isEmpty());
}

void TestLogin::expiredPasswordMustBeChanged_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("new password saved") << true;
    QTest::newRow("change cancelled") << false;
}

void TestLogin::expiredPasswordMustBeChanged()
{
    QFETCH(bool, save);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Super01", "Secret#123", 1, QDate::currentDate());

    TfrmLogin login(home.db());   // installs the change-password window for the check
    login.show();
    typeLogin(login, "Super01", "Secret#123");
    button(&login, "btnOK")->click();
    QCOMPARE(login.result(), int(LoginOk));
    const QString before = storedPassword(home.db(), "Super01");

    bool sawLockedOldPassword = false;
    onChangePassword([&](TfrmChangePassword *w) {
        QLineEdit *old = edit(w, "edtOldPassword");
        sawLockedOldPassword = !old->isEnabled() && old->text() == "Secret#123";
        if (!save) {
            button(w, "btnCancel")->click();
            return;
        }
        QTest::keyClicks(edit(w, "edtPassword"), "Better#456");
        QTest::keyClicks(edit(w, "edtVerifyPassword"), "Better#456");
        button(w, "btnOK")->click();
    });
    const bool admitted = CheckPasswordExpiry(home.db());

    QVERIFY(sawLockedOldPassword);
    QCOMPARE(admitted, save);
    QCOMPARE(dialogs.texts().first(), QString("Your Password has expired. Please change your Password."));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 0);
    if (save) {
        QCOMPARE(dialogs.lastText(), QString("Your Password has been changed succesfully."));
        QCOMPARE(storedPassword(home.db(), "Super01"), StoredPassword("Super01", "Better#456"));
        QCOMPARE(storedExpiry(home.db(), "Super01"), QDate::currentDate().addDays(90));
        QCOMPARE(Login().CurrentUserPassword, EncryptPassword("Super01", "Better#456"));
        QVERIFY(logEvents(home.db()).contains("User Password Change / User Super01 changed password"));
        QCOMPARE(home.db().LookupUser("Super01", StoredPassword("Super01", "Better#456")), 1);
    } else {
        QCOMPARE(dialogs.texts().size(), 1);
        QCOMPARE(storedPassword(home.db(), "Super01"), before);
        QCOMPARE(storedExpiry(home.db(), "Super01"), QDate::currentDate());
        QVERIFY(logEvents(home.db()).filter("User Password Change").isEmpty());
    }
}

void TestLogin::unknownUserFailsExpiryCheck()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "Smith01", "Secret#123", 3);
    Login().CurrentUserName = "SMITH01";   // matches only without regard to case
    QVERIFY(!CheckPasswordExpiry(home.db()));
    QCOMPARE(dialogs.texts(),
             QStringList{"Cannot locate User Name SMITH01. Please try to Compact and Repair or Restore the Database."});
}

void TestLogin::changePasswordRules_data()
{
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("verify");
    QTest::addColumn<bool>("verifyEnabled");
    QTest::addColumn<bool>("okEnabled");
    QTest::newRow("nothing typed") << "Old#pass1" << "" << "" << false << false;
    QTest::newRow("new has 7 characters") << "Old#pass1" << "New#pas" << "" << false << false;
    QTest::newRow("new has 8 characters") << "Old#pass1" << "New#pass" << "" << true << false;
    QTest::newRow("verified") << "Old#pass1" << "New#pass" << "New#pass" << true << true;
    QTest::newRow("verification differs") << "Old#pass1" << "New#pass" << "New#Pass" << true << false;
    QTest::newRow("new equals old") << "Old#pass1" << "Old#pass1" << "Old#pass1" << false << false;
}

void TestLogin::changePasswordRules()
{
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, verify);
    QFETCH(bool, verifyEnabled);
    QFETCH(bool, okEnabled);
    InstallationFolder home(false);
    TfrmChangePassword w(home.db());
    QCOMPARE(w.windowTitle(), QString("Kovra Console | Change Password"));
    w.show();
    QVERIFY(!edit(&w, "edtVerifyPassword")->isEnabled());
    QVERIFY(!button(&w, "btnOK")->isEnabled());
    QTest::keyClicks(edit(&w, "edtOldPassword"), oldPassword);
    QTest::keyClicks(edit(&w, "edtPassword"), newPassword);
    edit(&w, "edtVerifyPassword")->setText(verify);   // typed while it was enabled, or left empty
    QCOMPARE(edit(&w, "edtVerifyPassword")->isEnabled(), verifyEnabled);
    QCOMPARE(w.findChild<QLabel *>("lblVerifyPassword")->isEnabled(), verifyEnabled);
    QCOMPARE(button(&w, "btnOK")->isEnabled(), okEnabled);
}

void TestLogin::shortenedNewPasswordNeverConfirms()
{
    // A verification typed while the new password was longer must not confirm a
    // new password shortened below 8 characters afterwards.
    InstallationFolder home(false);
    TfrmChangePassword w(home.db());
    w.show();
    QTest::keyClicks(edit(&w, "edtOldPassword"), "Old#pass1");
    QTest::keyClicks(edit(&w, "edtPassword"), "Newpass1");
    QTest::keyClicks(edit(&w, "edtVerifyPassword"), "Newpass");
    QTest::keyClick(edit(&w, "edtPassword"), Qt::Key_Backspace);
    QCOMPARE(edit(&w, "edtPassword")->text(), edit(&w, "edtVerifyPassword")->text());
    QVERIFY(!button(&w, "btnOK")->isEnabled());
    QVERIFY(!edit(&w, "edtVerifyPassword")->isEnabled());
}

void TestLogin::changePasswordChecksOldPassword()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    addUser(home.db(), "User0001", "Secret#123", 3, QDate(2030, 1, 1));
    Login().CurrentUserName = "User0001";
    Login().CurrentUserPassword = EncryptPassword("User0001", "Secret#123");
    const QString before = storedPassword(home.db(), "User0001");

    TfrmChangePassword w(home.db());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClicks(edit(&w, "edtOldPassword"), "Secret#999");
    QTest::keyClicks(edit(&w, "edtPassword"), "Better#456");
    QTest::keyClicks(edit(&w, "edtVerifyPassword"), "Better#456");
    button(&w, "btnOK")->click();

    QVERIFY(w.isVisible());
    QCOMPARE(dialogs.texts(), QStringList{"Please provide the correct Old Password."});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    QVERIFY(edit(&w, "edtOldPassword")->hasFocus());
    QCOMPARE(storedPassword(home.db(), "User0001"), before);
    QCOMPARE(storedExpiry(home.db(), "User0001"), QDate(2030, 1, 1));
    QCOMPARE(Login().CurrentUserPassword, EncryptPassword("User0001", "Secret#123"));

    edit(&w, "edtOldPassword")->setText("Secret#123");
    button(&w, "btnOK")->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(storedPassword(home.db(), "User0001"), StoredPassword("User0001", "Better#456"));
    QCOMPARE(storedExpiry(home.db(), "User0001"), QDate::currentDate().addDays(90));
    QCOMPARE(Login().CurrentUserPassword, EncryptPassword("User0001", "Better#456"));
}

void TestLogin::changePasswordTouchesOnlyOwnRow()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().settings().validity = 30;
    addUser(home.db(), "Smith01", "Secret#123", 3, QDate(2030, 1, 1));
    addUser(home.db(), "SMITH01", "Other#1234", 3, QDate(2031, 1, 1));
    Login().CurrentUserName = "Smith01";

    QVERIFY(ChangeOwnPassword(home.db(), "Secret#123", "Better#456"));
    QCOMPARE(storedPassword(home.db(), "Smith01"), StoredPassword("Smith01", "Better#456"));
    QCOMPARE(storedExpiry(home.db(), "Smith01"), QDate::currentDate().addDays(30));
    QCOMPARE(storedPassword(home.db(), "SMITH01"), StoredPassword("SMITH01", "Other#1234"));
    QCOMPARE(storedExpiry(home.db(), "SMITH01"), QDate(2031, 1, 1));
    QCOMPARE(home.db().LookupUser("SMITH01", StoredPassword("SMITH01", "Other#1234")), 3);
}

void TestLogin::escapeInOldPasswordBox()
{
    InstallationFolder home(false);
    TfrmChangePassword w(home.db());
    w.show();
    QLineEdit *old = edit(&w, "edtOldPassword");
    QTest::keyClicks(old, "Secret#123");
    QTest::keyClick(old, Qt::Key_Escape);
    QCOMPARE(old->text(), QString());
    QVERIFY(w.isVisible());
    QTest::keyClick(old, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
