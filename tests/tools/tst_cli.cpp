// kovra-cli as a user runs it: a real process on a temporary installation folder.
#include "LineFile.h"
#include "BuildSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int rc = -1;
    QString out;
    QString err;
};

QString cliPath() { return QStringLiteral(KOVRA_BUILD_DIR "/tools/kovra-cli/kovra-cli"); }

// The service login is a build setting; read it where the build keeps it.
QString cacheValue(const QString &key) { return kovra::BuildSetting(key); }

const QString kAdmin = QStringLiteral("admin01");
const QString kAdminPassword = QStringLiteral("admin-pass-1");

class Cli {
public:
    Cli() { m_home = m_dir.path() + "/home"; }
    QString home() const { return m_home; }
    QString file(const QString &rel) const { return m_home + "/" + rel; }

    QProcessEnvironment env(const QString &password = {}, const QString &newPassword = {}) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove("KOVRA_PASSWORD");
        e.remove("KOVRA_NEW_PASSWORD");
        e.insert("KOVRA_HOME", m_home);
        if (!password.isNull())
            e.insert("KOVRA_PASSWORD", password);
        if (!newPassword.isNull())
            e.insert("KOVRA_NEW_PASSWORD", newPassword);
        return e;
    }

    Run run(const QStringList &args, const QProcessEnvironment &environment) const
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(cliPath(), args);
        p.closeWriteChannel();   // no terminal, no input
        Run r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    Run run(const QStringList &args) const { return run(args, env()); }
    // As the administrator made by setUp().
    Run admin(QStringList args) const
    {
        args.prepend(kAdmin);
        args.prepend("--login");
        return run(args, env(kAdminPassword));
    }
    Run service(QStringList args, const QString &newPassword = {}) const
    {
        args = QStringList{"--login", cacheValue("KOVRA_SERVICE_LOGIN")} + args;
        return run(args, env(cacheValue("KOVRA_SERVICE_PASSWORD"), newPassword));
    }

    // A fresh folder with one administrator whose password does not expire soon.
    bool setUp()
    {
        if (run({"init", m_home}).rc != 0)
            return false;
        return service({"user", "add", kAdmin, "--type", "2", "--first", "Ann", "--last", "Admin", "--expires",
                        "2099-01-01"},
                       kAdminPassword)
                   .rc == 0;
    }

    // Rows of "log list" (without the header) as "User | Event | Description".
    QStringList log() const
    {
        const Run r = admin({"log", "list"});
        QStringList rows;
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        for (int i = 1; i < lines.size(); ++i) {
            // Event_ID  date time  User  Event  Description: columns are padded with 2+ blanks
            const QStringList cols = lines.at(i).split(QRegularExpression("\\s{2,}"));
            if (cols.size() >= 5)
                rows << cols.at(2) + " | " + cols.at(3) + " | " + cols.mid(4).join("  ");
        }
        return rows;
    }

private:
    QTemporaryDir m_dir;
    QString m_home;
};

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void helpListsEveryCommand();
    void usageErrors_data();
    void usageErrors();
    void initThenStatus();
    void initRefusesExistingFolder();
    void wrongPasswordRefusedAndNotLogged();
    void roleRules_data();
    void roleRules();
    void expiredPasswordChangedAtLogin();
    void accountRoundTripWithAuditLog();
    void damagedImportChangesNothing_data();
    void damagedImportChangesNothing();
    void questionWithoutTerminalIsDeclined();
    void upgradeAndDowngrade();
    void templateNewAndShow();
    void secondProcessOnSameFolderFails();
};

void TestCli::initTestCase()
{
    QVERIFY2(QFileInfo(cliPath()).isExecutable(), qPrintable(cliPath()));
    QVERIFY(!cacheValue("KOVRA_SERVICE_LOGIN").isEmpty());
}

void TestCli::helpListsEveryCommand()
{
    Cli cli;
    const Run r = cli.run({"--help"});
    QCOMPARE(r.rc, 0);
    for (const char *c : {"init DIR", "status", "user add", "user list", "account add", "account list",
                          "account show", "account delete", "account upgrade", "account export", "account import",
                          "template new", "template show", "log list"})
        QVERIFY2(r.out.contains(QLatin1String(c)), c);
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("init without folder") << QStringList{"init"};
    QTest::newRow("yes and no") << QStringList{"--yes", "--no", "status"};
    QTest::newRow("login without name") << QStringList{"status", "--login"};
    QTest::newRow("account without verb") << QStringList{"account"};
    QTest::newRow("account add without number") << QStringList{"account", "add", "--generation", "014"};
    QTest::newRow("account number not hex") << QStringList{"account", "add", "--number", "00000000XY", "--generation", "014"};
    QTest::newRow("account number too long") << QStringList{"account", "add", "--number", "00000000001", "--generation", "014"};
    QTest::newRow("unknown generation") << QStringList{"account", "add", "--number", "0000000001", "--generation", "015"};
    QTest::newRow("bad address") << QStringList{"account", "add", "--number", "1", "--generation", "014", "--ip", "1.2.3"};
    QTest::newRow("bad port") << QStringList{"account", "add", "--number", "1", "--generation", "014", "--console-port", "x"};
    QTest::newRow("stray argument") << QStringList{"account", "list", "extra"};
    QTest::newRow("user add without type") << QStringList{"user", "add", "someone", "--first", "A", "--last", "B"};
    QTest::newRow("user type 4") << QStringList{"user", "add", "someone", "--type", "4"};
    QTest::newRow("log last not a number") << QStringList{"log", "list", "--last", "many"};
    QTest::newRow("template generation") << QStringList{"template", "new", "019", "x.tpl"};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    Cli cli;
    const Run r = cli.run(args);
    QCOMPARE(r.rc, 2);
    QVERIFY2(r.err.contains("usage"), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(cli.home()));   // nothing created on the way
}

void TestCli::initThenStatus()
{
    Cli cli;
    QCOMPARE(cli.run({"init", cli.home()}).rc, 0);
    for (const char *f : {"udb.kdb", "bdb", "DB/dbKovraConsole.kdb", "KOVRACONSOLE.INI"})
        QVERIFY2(QFileInfo(cli.file(f)).isFile(), f);
    for (const char *d : {"DB", "Export", "Import", "UPLOAD"})
        QVERIFY2(QFileInfo(cli.file(d)).isDir(), d);
    const Run r = cli.run({"status"});   // no login needed
    QCOMPARE(r.rc, 0);
    QVERIFY(r.out.contains("Users: 0"));
    QVERIFY(r.out.contains("Log entries: 0"));
    QVERIFY(r.out.contains("Accounts: 0"));
    QVERIFY(r.out.contains("Receivers: 0"));
    QVERIFY(!r.out.contains("missing"));

    // A folder without an installation: status says so and fails.
    Cli empty;
    QDir().mkpath(empty.home());
    const Run e = empty.run({"status"});
    QCOMPARE(e.rc, 1);
    QVERIFY(e.out.contains("missing"));
}

void TestCli::initRefusesExistingFolder()
{
    Cli cli;
    QVERIFY(cli.setUp());
    const QByteArray before = [&] { QFile f(cli.file("udb.kdb")); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    const Run r = cli.run({"init", cli.home()});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("already exists"));
    QFile f(cli.file("udb.kdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QCOMPARE(cli.admin({"user", "list"}).rc, 0);   // the administrator is still there
}

void TestCli::wrongPasswordRefusedAndNotLogged()
{
    Cli cli;
    QVERIFY(cli.setUp());
    const QStringList logBefore = cli.log();
    QCOMPARE(logBefore.count(kAdmin + " | User Login | User " + kAdmin + " logged in"), 1);   // log() logged in once

    const QString invalid = "You have entered an invalid Password and/or Login name.";
    struct Case { QString login, password; } cases[] = {
        {kAdmin, "wrong-password"},
        {kAdmin.toUpper(), kAdminPassword},   // names compare with case
        {kAdmin, kAdminPassword.left(7)},
        {"nobody99", kAdminPassword},
    };
    for (const Case &c : cases) {
        const Run r = cli.run({"--login", c.login, "account", "list"}, cli.env(c.password));
        QCOMPARE(r.rc, 1);
        QVERIFY2(r.err.contains(invalid), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
    // Nothing was logged for the failures: only the next log() call's own login is new.
    QStringList after = cli.log();
    QCOMPARE(after.size(), logBefore.size() + 1);
    QVERIFY(after.last().endsWith("User Login | User " + kAdmin + " logged in"));
}

void TestCli::roleRules_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QString>("message");
    const QStringList addUser{"user", "add", "other01", "--type", "3", "--first", "O", "--last", "P"};
    QTest::newRow("user may not add users") << 3 << addUser << 1 << "not available to the User role";
    QTest::newRow("user may not list users") << 3 << QStringList{"user", "list"} << 1 << "not available to the User role";
    QTest::newRow("user may list accounts") << 3 << QStringList{"account", "list"} << 0 << "";
    QTest::newRow("user may read the log") << 3 << QStringList{"log", "list"} << 0 << "";
    QTest::newRow("supervisor has no accounts") << 1 << QStringList{"account", "list"} << 1
                                                << "not available to the Supervisor role";
    QTest::newRow("supervisor adds a user") << 1 << addUser << 0 << "";
    QTest::newRow("supervisor may not add a supervisor")
        << 1 << QStringList{"user", "add", "other01", "--type", "1", "--first", "O", "--last", "P"} << 1
        << "Only the built-in service login may add a Supervisor.";
    QTest::newRow("administrator may not add an administrator")
        << 2 << QStringList{"user", "add", "other01", "--type", "2", "--first", "O", "--last", "P"} << 1
        << "may not add a user of type Administrator";
    QTest::newRow("administrator adds a user") << 2 << addUser << 0 << "";
    QTest::newRow("user editor check") << 2
        << QStringList{"user", "add", "abc", "--type", "3", "--first", "O", "--last", "P"} << 1
        << "Login Name should be at least 5 characters long.";
    QTest::newRow("user editor check: first name") << 2
        << QStringList{"user", "add", "other01", "--type", "3", "--last", "P"} << 1
        << "Please provide a User First Name.";
}

void TestCli::roleRules()
{
    QFETCH(int, type);
    QFETCH(QStringList, command);
    QFETCH(int, rc);
    QFETCH(QString, message);
    Cli cli;
    QVERIFY(cli.setUp());
    const QString login = "person0" + QString::number(type);
    const QString password = "person-pass-" + QString::number(type);
    QCOMPARE(cli.service({"user", "add", login, "--type", QString::number(type), "--first", "P", "--last", "Q",
                          "--expires", "2099-12-31"},
                         password)
                 .rc,
             0);
    const Run r = cli.run(QStringList{"--login", login} + command, cli.env(password, "other-pass-1"));
    QVERIFY2(r.rc == rc, qPrintable(r.err));
    if (!message.isEmpty())
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    const bool added = command.mid(0, 2) == QStringList{"user", "add"} && rc == 0;
    const Run list = cli.service({"user", "list"});
    QCOMPARE(list.out.contains("other01"), added);
}

void TestCli::expiredPasswordChangedAtLogin()
{
    Cli cli;
    QVERIFY(cli.setUp());
    // Without --expires the password expires today, as in the user editor.
    QCOMPARE(cli.admin({"user", "add", "fresh01", "--type", "3", "--first", "F", "--last", "L"}).rc, 1);   // needs a password
    QCOMPARE(cli.run({"--login", kAdmin, "user", "add", "fresh01", "--type", "3", "--first", "F", "--last", "L"},
                     cli.env(kAdminPassword, "first-pass-1"))
                 .rc,
             0);
    const QStringList list{"--login", "fresh01", "account", "list"};
    Run r = cli.run(list, cli.env("first-pass-1"));
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("Your Password has expired. Please change your Password."));
    QVERIFY(r.err.contains("You did not change your Password. Access denied."));
    QVERIFY(r.out.isEmpty());
    r = cli.run(list, cli.env("first-pass-1", "first-pass-1"));   // the same password is no change
    QCOMPARE(r.rc, 1);
    r = cli.run(list, cli.env("first-pass-1", "second-pass-2"));
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.err.contains("Your Password has been changed succesfully."));
    QCOMPARE(cli.run(list, cli.env("first-pass-1")).rc, 1);
    QCOMPARE(cli.run(list, cli.env("second-pass-2")).rc, 0);
    QCOMPARE(cli.log().filter("fresh01 | User Password Change | User fresh01 changed password").size(), 1);
}

void TestCli::accountRoundTripWithAuditLog()
{
    Cli cli;
    QVERIFY(cli.setUp());
    const QString number = "00000000A1";
    Run r = cli.admin({"account", "add", "--number", "a1", "--generation", "014", "--ip", "10.0.0.5", "--key",
                       "0123456789ABCDEF0123456789ABCDEF", "--receiver1", "10.0.0.1", "--gateway1", "10.0.0.254",
                       "--console-port", "3070"});
    QCOMPARE(r.rc, 1);   // "a1" reads as A1FFFFFFFF: six trailing F, refused
    QVERIFY(r.err.contains("Invalid Account Number."));
    r = cli.admin({"account", "add", "--number", number, "--generation", "014", "--ip", "10.0.0.5", "--key",
                   "0123456789ABCDEF0123456789ABCDEF", "--receiver1", "10.0.0.1", "--gateway1", "10.0.0.254",
                   "--console-port", "3070"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    r = cli.admin({"account", "add", "--number", number, "--generation", "012"});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("Account Number 00000000A1 already exists."));

    const Run list = cli.admin({"account", "list"});
    QCOMPARE(list.rc, 0);
    QVERIFY(list.out.contains(number));
    QVERIFY(list.out.contains("0140"));

    const Run shown = cli.admin({"account", "show", number});
    QCOMPARE(shown.rc, 0);
    QVERIFY(shown.out.contains(QRegularExpression("KovraIP\\s+10.0.0.5")));
    QVERIFY(shown.out.contains(QRegularExpression("\\n013\\s+019\\s+\\S+\\s+3070\\n")));
    QVERIFY(shown.out.contains(QRegularExpression("\\n326\\s+806\\s+\\S+\\s+0140\\n")));
    QVERIFY(shown.out.contains(QRegularExpression("\\n008\\s+008\\s+\\S+\\s+10.0.0.254\\n")));

    const QString file = cli.file("Export/acct.kva");
    r = cli.admin({"account", "export", number, file});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.err.contains("Account information exported successfully."));
    QVERIFY(QFileInfo(file).size() > 0);
    // Without a file name: the default name in Export/.
    r = cli.admin({"account", "export", number});
    QCOMPARE(r.rc, 0);
    QCOMPARE(r.out.trimmed(), QDir::toNativeSeparators(
                                  cli.file("Export/KovraAccount_" + number + "__" +
                                           QDate::currentDate().toString("yyMMdd") + ".kva")));

    r = cli.admin({"--yes", "account", "delete", number});
    QCOMPARE(r.rc, 0);
    QVERIFY(r.err.contains("Are you sure you want to delete the entry?"));
    QVERIFY(!cli.admin({"account", "list"}).out.contains(number));
    QCOMPARE(cli.admin({"account", "show", number}).rc, 1);

    r = cli.admin({"account", "import", file});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.err.contains("Kovra Account has been imported successfully."));
    const Run again = cli.admin({"account", "show", number});
    // Same rows and values; only the ids differ.
    auto optionRows = [](const QString &text) { return text.mid(text.indexOf("\nOption")); };
    QCOMPARE(optionRows(again.out), optionRows(shown.out));

    const QStringList log = cli.log();
    QStringList changes;
    for (const QString &e : log)
        if (!e.contains("User Login"))
            changes << e;
    QCOMPARE(changes, (QStringList{
                          "kovraservice | New User Added | New User - admin01 added",
                          "admin01 | Kovra Account Create | Kovra Account 00000000A1 created",
                          "admin01 | Kovra Account Export | Kovra Account 00000000A1 exported",
                          "admin01 | Kovra Account Export | Kovra Account 00000000A1 exported",
                          "admin01 | Kovra Account Delete | Kovra Account 00000000A1 deleted",
                          "admin01 | Kovra Account Create | Kovra Account 00000000A1 created",
                          "admin01 | Kovra Account Import | Kovra Account 00000000A1 imported",
                      }));

    // Import over the existing account: the question, answered No, changes nothing.
    r = cli.admin({"--no", "account", "import", file});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("that you are about to import already exists."));
    QCOMPARE(cli.log().filter("Kovra Account Import").size(), 1);
}

void TestCli::damagedImportChangesNothing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("one byte changed") << "flip";
    QTest::newRow("cut short") << "truncate";
    QTest::newRow("valid sum, one line") << "oneline";
    QTest::newRow("empty file") << "empty";
}

void TestCli::damagedImportChangesNothing()
{
    QFETCH(QString, damage);
    Cli cli;
    QVERIFY(cli.setUp());
    QCOMPARE(cli.admin({"account", "add", "--number", "0000000002", "--generation", "014"}).rc, 0);
    const QString file = cli.file("Import/bad.kva");
    QCOMPARE(cli.admin({"account", "export", "0000000002", file}).rc, 0);
    QCOMPARE(cli.admin({"--yes", "account", "delete", "0000000002"}).rc, 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    if (damage == "flip")
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
    else if (damage == "truncate")
        bytes.chop(7);
    else if (damage == "oneline")
        bytes = *kovra::EncodeLineFile({"003*AccountCode*0000000002"});
    else
        bytes.clear();
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();

    const int logBefore = cli.log().size();
    const Run r = cli.admin({"--yes", "account", "import", "bad.kva"});   // found in Import/
    QCOMPARE(r.rc, 1);
    QVERIFY2(r.err.contains("Error:"), qPrintable(r.err));
    if (damage != "oneline")
        QVERIFY(r.err.contains("This is not a valid Kovra Account file."));
    QVERIFY(!r.err.contains("imported successfully"));
    const Run list = cli.admin({"account", "list"});
    QCOMPARE(list.out.split('\n', Qt::SkipEmptyParts).size(), 1);   // header only
    // Only the logins of the two runs were logged.
    const QStringList log = cli.log();
    QCOMPARE(log.size(), logBefore + 3);
    QCOMPARE(log.mid(logBefore).filter("User Login").size(), 3);
}

void TestCli::questionWithoutTerminalIsDeclined()
{
    Cli cli;
    QVERIFY(cli.setUp());
    QCOMPARE(cli.admin({"account", "add", "--number", "0000000003", "--generation", "013"}).rc, 0);
    const Run r = cli.admin({"account", "delete", "0000000003"});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("no terminal"));
    QVERIFY(cli.admin({"account", "list"}).out.contains("0000000003"));
    const Run no = cli.admin({"account", "delete", "0000000003", "--no"});
    QCOMPARE(no.rc, 1);
    QVERIFY(cli.admin({"account", "list"}).out.contains("0000000003"));
}

void TestCli::upgradeAndDowngrade()
{
    Cli cli;
    QVERIFY(cli.setUp());
    QCOMPARE(cli.admin({"account", "add", "--number", "0000000004", "--generation", "011", "--ip", "10.1.1.1"}).rc, 0);
    Run r = cli.admin({"account", "upgrade", "0000000004", "014"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    const Run shown = cli.admin({"account", "show", "0000000004"});
    QVERIFY(shown.out.contains(QRegularExpression("\\n326\\s+806\\s+\\S+\\s+0140\\n")));
    QVERIFY(shown.out.contains(QRegularExpression("\\n048\\s+072\\s")));   // a 1.4x option
    QVERIFY(shown.out.contains(QRegularExpression("KovraIP\\s+10.1.1.1")));
    r = cli.admin({"account", "upgrade", "0000000004", "012"});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("You cannot downgrade an account."));
    QVERIFY(cli.admin({"account", "show", "0000000004"}).out.contains(QRegularExpression("\\n326\\s+806\\s+\\S+\\s+0140\\n")));
    QCOMPARE(cli.log().filter("Kovra Account Edit").size(), 1);
}

void TestCli::templateNewAndShow()
{
    Cli cli;
    QVERIFY(cli.setUp());
    const QString tpl = cli.file("Export/t12.tpl");
    QCOMPARE(cli.admin({"template", "new", "012", tpl}).rc, 0);
    const Run shown = cli.run({"template", "show", tpl});
    QCOMPARE(shown.rc, 0);
    QVERIFY(shown.out.contains("version 0120"));
    QVERIFY(shown.out.contains(QRegularExpression("\\n806\\s+326\\s+\\S+\\s+0120\\n")));
    // An account made from it takes its values, and its ports escape the default check.
    QCOMPARE(cli.admin({"account", "add", "--number", "0000000005", "--generation", "012", "--console-port", "3062",
                        "--template", tpl})
                 .rc,
             0);
    const Run wrong = cli.admin({"account", "add", "--number", "0000000006", "--generation", "014", "--template", tpl});
    QCOMPARE(wrong.rc, 1);
    QVERIFY(wrong.err.contains("Incorrect Kovra Template version."));
    QFile f(tpl);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(3);
    f.write("#");
    f.close();
    const Run bad = cli.run({"template", "show", tpl});
    QCOMPARE(bad.rc, 1);
    QVERIFY(bad.err.contains("This is not a valid Kovra Template file."));
}

void TestCli::secondProcessOnSameFolderFails()
{
    Cli cli;
    QVERIFY(cli.setUp());
    // The first process waits for its password on stdin while it holds the folder.
    QProcess first;
    first.setProcessEnvironment(cli.env());
    first.start(cliPath(), {"--login", kAdmin, "account", "list"});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::Running, 5000);
    // Give it time to open the user database before the second one tries.
    QTest::qWait(1500);
    const Run second = cli.run({"status"});
    QCOMPARE(second.rc, 1);
    QVERIFY2(second.err.contains("An error occured while opening the user database. Application will terminate."),
             qPrintable(second.err));
    first.write((kAdminPassword + "\n").toUtf8());
    first.closeWriteChannel();
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitCode(), 0);
    // Free again.
    QCOMPARE(cli.run({"status"}).rc, 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
