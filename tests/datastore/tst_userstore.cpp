// Console users: password keys and stored forms, the login lookup with its
// case rules and type check, password changes, expiry and the service login.
#include "InstallationFolder.h"
#include "BuildSettings.h"
#include "LoginState.h"
#include "ScriptedDialogs.h"
#include "TdmdMain.h"
#include "UserStore.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QtTest>

using namespace kovra;

namespace {

struct LoginGuard {
    LoginState saved = Login();
    ~LoginGuard() { Login() = saved; }
};

UserRecord user(const QString &login, const QString &password, int type, int expiresInDays = 90)
{
    UserRecord u;
    u.UserLoginName = login;
    u.UserFirstName = "First";
    u.UserLastName = "Last";
    u.password = password;
    u.UserType = type;
    u.UserExpireDate = QDate::currentDate().addDays(expiresInDays);
    return u;
}

QString cacheValue(const QString &key) { return BuildSetting(key); }

const QRegularExpression kUpperHex("^[0-9A-F]*$");

} // namespace

class TestUserStore : public QObject {
    Q_OBJECT
private slots:
    void passwordKey();
    void hexConvert_data();
    void hexConvert();
    void storedForms_data();
    void storedForms();
    void typeCheck();
    void lookupRules();
    void namesDifferingInCaseCoexist();
    void editRecomputesPasswordAndType();
    void newPasswordTouchesOnlyThatUser();
    void passwordExpiry_data();
    void passwordExpiry();
    void missingUserIsReported();
    void serviceLogin();
};

void TestUserStore::passwordKey()
{
    QCOMPARE(MakePasswordKey(""), QString());
    // A short name is repeated; a long one is cut after 16 characters.
    QCOMPARE(MakePasswordKey("a"), MakePasswordKey(QString(16, 'a')));
    QCOMPARE(MakePasswordKey("ab"), MakePasswordKey("abababababababab"));
    QCOMPARE(MakePasswordKey("ABCDEFGHIJKLMNOPQRST"), MakePasswordKey("ABCDEFGHIJKLMNOP"));
    QVERIFY(MakePasswordKey("ABCDEFGHIJKLMNOP") != MakePasswordKey("ABCDEFGHIJKLMNOQ"));
    QVERIFY(MakePasswordKey("Smith01") != MakePasswordKey("smith01"));
    const QString key = MakePasswordKey("Smith01");
    QCOMPARE(key.size(), 32);
    QVERIFY(kUpperHex.match(key).hasMatch());
    // Stored passwords depend on this exact derivation: it must never change.
    QCOMPARE(MakePasswordKey("0123456789ABCDEF"), QString("1C6A6B68696E6F6C6D62631B18191E1F"));
}

void TestUserStore::hexConvert_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("to hex") << 0 << "AB" << "4142";
    QTest::newRow("to hex, high byte") << 0 << QString(QChar(0xE9)) << "E9";
    QTest::newRow("empty") << 0 << "" << "";
    QTest::newRow("from hex") << 1 << "4142" << "AB";
    QTest::newRow("from lower-case hex") << 1 << "4a4b" << "JK";
    QTest::newRow("odd length") << 1 << "414" << "";
    QTest::newRow("three characters") << 1 << "ABC" << "";
}

void TestUserStore::hexConvert()
{
    QFETCH(int, direction);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(HexConvert(direction, in), out);
}

void TestUserStore::storedForms_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("digits");
    QTest::newRow("8 characters") << "Passw0rd" << 32;
    QTest::newRow("16 characters") << "0123456789abcdef" << 32;
    QTest::newRow("17 characters") << "0123456789abcdefg" << 64;
    QTest::newRow("30 characters") << QString(30, 'z') << 64;
    QTest::newRow("apostrophe and blanks") << "it's a pass" << 32;
}

void TestUserStore::storedForms()
{
    QFETCH(QString, password);
    QFETCH(int, digits);
    const QString stored = StoredPassword("Smith01", password);
    QCOMPARE(stored.size(), digits);
    QVERIFY(kUpperHex.match(stored).hasMatch());
    QCOMPARE(HexConvert(0, HexConvert(1, stored)), stored);
    QCOMPARE(DecryptPassword("Smith01", HexToBytes(stored)), password);
    QCOMPARE(DecryptPassword("Smith01", EncryptPassword("Smith01", password)), password);
    // Never the clear text, and bound to the name.
    QVERIFY(!stored.contains(HexConvert(0, password)));
    QVERIFY(StoredPassword("Smith02", password) != stored);
}

void TestUserStore::typeCheck()
{
    const QString auth = MakeTypeAuth("Smith01", 3);
    QCOMPARE(auth.size(), 32);
    QVERIFY(CheckTypeAuth("Smith01", auth, 3));
    QVERIFY(!CheckTypeAuth("Smith01", auth, 1));
    QVERIFY(!CheckTypeAuth("Smith02", auth, 3));
    QVERIFY(!CheckTypeAuth("Smith01", "", 3));
    QVERIFY(!CheckTypeAuth("Smith01", "ZZ", 3));
    QVERIFY(!CheckTypeAuth("Smith01", StoredPassword("Smith01", "three"), 3));   // not a number
}

void TestUserStore::lookupRules()
{
    InstallationFolder home(false);
    TdmdMain &db = home.db();
    QSignalSpy changed(&db, &TdmdMain::usersChanged);
    const int id = db.AddUser(user("Smith01", "Secret#01", 3));
    QVERIFY(changed.count() >= 1);
    const QString stored = StoredPassword("Smith01", "Secret#01");
    QCOMPARE(db.LookupUser("Smith01", stored), 3);
    QVERIFY(db.VerifyPassword("Smith01", stored));
    QVERIFY(db.VerifyPassword("SMITH01", stored));             // the engine ignores case of the name
    QVERIFY(!db.VerifyPassword("Smith01", stored.toLower()));  // but not of the stored text

    QCOMPARE(db.LookupUser("smith01", stored), 0);                                // name typed in another case
    QCOMPARE(db.LookupUser("smith01", StoredPassword("smith01", "Secret#01")), 0);
    QCOMPARE(db.LookupUser("Smith01", stored.toLower()), 0);
    QCOMPARE(db.LookupUser("Smith01", StoredPassword("Smith01", "secret#01")), 0);
    QCOMPARE(db.LookupUser("Nobody", stored), 0);

    // A type changed by hand no longer passes.
    RunSql(db.userDatabase(), "UPDATE tblUser SET UserType = 1 WHERE User_ID = ?", {id});
    QCOMPARE(db.LookupUser("Smith01", stored), 0);
    RunSql(db.userDatabase(), "UPDATE tblUser SET UserType = 3, UserTypeAuth = 'garbage' WHERE User_ID = ?", {id});
    QCOMPARE(db.LookupUser("Smith01", stored), 0);

    QSqlQuery q = RunSql(db.userDatabase(), "SELECT UserNew, UserFirstName, UserExpireDate FROM tblUser");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toString(), QString("First"));
    QCOMPARE(ReadStoredDate(q.value(2)), QDate::currentDate().addDays(90));
}

void TestUserStore::namesDifferingInCaseCoexist()
{
    InstallationFolder home(false);
    TdmdMain &db = home.db();
    db.AddUser(user("Smith01", "Secret#01", 3));
    QVERIFY(UserLoginExists(db.userDatabase(), "Smith01"));
    QVERIFY(!UserLoginExists(db.userDatabase(), "SMITH01"));
    db.AddUser(user("SMITH01", "Other#002", 2));
    QCOMPARE(db.LookupUser("Smith01", StoredPassword("Smith01", "Secret#01")), 3);
    QCOMPARE(db.LookupUser("SMITH01", StoredPassword("SMITH01", "Other#002")), 2);
    QCOMPARE(db.LookupUser("SMITH01", StoredPassword("SMITH01", "Secret#01")), 0);
}

void TestUserStore::editRecomputesPasswordAndType()
{
    InstallationFolder home(false);
    TdmdMain &db = home.db();
    const int id = db.AddUser(user("Jones02", "Secret#01", 3));
    UserRecord edited = user("Jones02", "Changed#02", 2, 10);
    edited.UserLastName = "Newname";
    db.UpdateUser(id, edited);
    QCOMPARE(db.LookupUser("Jones02", StoredPassword("Jones02", "Changed#02")), 2);
    QCOMPARE(db.LookupUser("Jones02", StoredPassword("Jones02", "Secret#01")), 0);
    QSqlQuery q = RunSql(db.userDatabase(), "SELECT UserLastName, UserExpireDate FROM tblUser WHERE User_ID = ?", {id});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Newname"));
    QCOMPARE(ReadStoredDate(q.value(1)), QDate::currentDate().addDays(10));
    db.DeleteUser(id);
    QCOMPARE(home.rowCount("tblUser"), 0);
}

void TestUserStore::newPasswordTouchesOnlyThatUser()
{
    InstallationFolder home(false);
    TdmdMain &db = home.db();
    db.settings().validity = 30;
    db.AddUser(user("Smith01", "Secret#01", 3, -5));
    db.AddUser(user("SMITH01", "Other#002", 3, -5));
    QCOMPARE(db.SetNewPassword("Smith01", StoredPassword("Smith01", "Fresh#003")), 1);
    QCOMPARE(db.LookupUser("Smith01", StoredPassword("Smith01", "Fresh#003")), 3);
    QCOMPARE(db.LookupUser("SMITH01", StoredPassword("SMITH01", "Other#002")), 3);   // untouched
    QSqlQuery q = RunSql(db.userDatabase(), "SELECT UserLoginName, UserExpireDate FROM tblUser ORDER BY User_ID");
    QVERIFY(q.next());
    QCOMPARE(ReadStoredDate(q.value(1)), QDate::currentDate().addDays(30));
    QVERIFY(q.next());
    QCOMPARE(ReadStoredDate(q.value(1)), QDate::currentDate().addDays(-5));
}

void TestUserStore::passwordExpiry_data()
{
    QTest::addColumn<int>("expiresInDays");
    QTest::addColumn<bool>("noPasswordExpire");
    QTest::addColumn<bool>("service");
    QTest::addColumn<int>("result");
    QTest::newRow("expires tomorrow") << 1 << false << false << int(PasswordExpiry::Valid);
    QTest::newRow("expires today") << 0 << false << false << int(PasswordExpiry::Expired);
    QTest::newRow("expired") << -30 << false << false << int(PasswordExpiry::Expired);
    QTest::newRow("never expires") << -30 << true << false << int(PasswordExpiry::Valid);
    QTest::newRow("service login") << -30 << false << true << int(PasswordExpiry::Valid);
}

void TestUserStore::passwordExpiry()
{
    QFETCH(int, expiresInDays);
    QFETCH(bool, noPasswordExpire);
    QFETCH(bool, service);
    QFETCH(int, result);
    LoginGuard guard;
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().AddUser(user("Smith01", "Secret#01", 3, expiresInDays));
    home.db().settings().noPasswordExpire = noPasswordExpire;
    Login().CurrentUserName = "Smith01";
    Login().ServiceLogin = service;
    QCOMPARE(int(home.db().CheckPasswordExpiry()), result);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestUserStore::missingUserIsReported()
{
    LoginGuard guard;
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().AddUser(user("Smith01", "Secret#01", 3));
    Login().CurrentUserName = "Ghost01";
    Login().ServiceLogin = false;
    QCOMPARE(home.db().CheckPasswordExpiry(), PasswordExpiry::UserNotFound);
    QCOMPARE(dialogs.texts(),
             QStringList{"Cannot locate User Name Ghost01. Please try to Compact and Repair or Restore the Database."});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
}

void TestUserStore::serviceLogin()
{
    const QString name = cacheValue("KOVRA_SERVICE_LOGIN");
    const QString password = cacheValue("KOVRA_SERVICE_PASSWORD");
    QVERIFY2(!name.isEmpty() && !password.isEmpty(), "service login not found in the build configuration");
    QCOMPARE(ServiceLoginName(), name);
    QVERIFY(IsServiceLogin(name, password));
    QVERIFY(!IsServiceLogin(name.toUpper(), password));
    QVERIFY(!IsServiceLogin(name, password + "x"));
    QVERIFY(!IsServiceLogin(name, password.left(password.size() - 1)));
    QVERIFY(!IsServiceLogin("someone", password));
    QVERIFY(!IsServiceLogin(name, ""));

    // The clear password appears in no compiled or generated file of the data store.
    QDirIterator it(QString(KOVRA_BUILD_DIR) + "/datastore", QDir::Files, QDirIterator::Subdirectories);
    int inspected = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(".a") && !path.endsWith(".o") && !path.endsWith(".h"))
            continue;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(!f.readAll().contains(password.toUtf8()), qPrintable(path));
        ++inspected;
    }
    QVERIFY(inspected > 0);
}

QTEST_GUILESS_MAIN(TestUserStore)
#include "tst_userstore.moc"
