// kovra-cli's maintenance commands as a real process on a temporary
// installation: role rules, usage errors, and the same results as the menus.
#include "Installation.h"
#include "Schema.h"
#include "UserStore.h"

#include <QtTest>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <zip.h>

using namespace kovra;

namespace {

struct Run {
    int rc = -1;
    QString out;
    QString err;
};

const QString kPassword = QStringLiteral("secret-pass-1");

class CliHome {
public:
    CliHome()
    {
        m_home = m_dir.path() + "/home";
        ok = CreateInstallation(m_home).isEmpty();
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli_users");
        db.setDatabaseName(m_home + "/udb.kdb");
        ok = ok && db.open();
        for (auto [name, type] : {std::pair{"admin", 2}, std::pair{"user", 3}, std::pair{"super", 1}}) {
            UserRecord u;
            u.UserLoginName = name;
            u.UserFirstName = u.UserLastName = name;
            u.password = kPassword;
            u.UserType = type;
            u.UserExpireDate = QDate::currentDate().addDays(30);
            try {
                AddUser(db, u);
            } catch (const DatabaseError &) {
                ok = false;
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("cli_users");
    }
    QString file(const QString &rel) const { return m_home + "/" + rel; }

    Run run(const QString &login, const QStringList &args) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("KOVRA_PASSWORD", kPassword);
        e.insert("KOVRA_HOME", m_home);
        QStringList all = args;
        if (!login.isEmpty())
            all = QStringList{"--login", login} + all;
        QProcess p;
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(KOVRA_BUILD_DIR "/tools/kovra-cli/kovra-cli"), all);
        p.closeWriteChannel();
        Run r;
        if (!p.waitForFinished(120000))
            return r;
        r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QStringList events(const QString &like) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli_log");
        db.setDatabaseName(m_home + "/udb.kdb");
        QStringList out;
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare("SELECT User || ': ' || EventDescription FROM tblLog WHERE Event LIKE ? ORDER BY Event_ID");
            q.addBindValue(like);
            q.exec();
            while (q.next())
                out << q.value(0).toString();
            q.finish();
            db.close();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("cli_log");
        return out;
    }

    bool ok = false;

private:
    QTemporaryDir m_dir;
    QString m_home;
};

} // namespace

class TestMaintenanceCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void roles_data();
    void roles();
    void usage_data();
    void usage();
    void backupRestoreRoundTrip();
    void configSetFollowsDialogRules();
    void createAndExport();
};

void TestMaintenanceCli::initTestCase()
{
    QVERIFY2(QFile::exists(KOVRA_BUILD_DIR "/tools/kovra-cli/kovra-cli"), "kovra-cli is not built");
}

void TestMaintenanceCli::roles_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("rc");
    // Backup and compact: Administrators and Users; restore, configuration and the
    // log export: Administrators only; nobody without a login.
    QTest::newRow("user backs up") << "user" << QStringList{"db", "backup"} << 0;
    QTest::newRow("user compacts") << "user" << QStringList{"--no", "db", "compact", "DB/dbKovraConsole.kdb"} << 0;
    QTest::newRow("user may not restore") << "user" << QStringList{"--yes", "db", "restore", "x.zip", "DB"} << 1;
    QTest::newRow("user may not configure") << "user" << QStringList{"config", "set", "VALIDITY", "30"} << 1;
    QTest::newRow("user may not read configuration") << "user" << QStringList{"config", "show"} << 1;
    QTest::newRow("user may not export the log") << "user" << QStringList{"log", "export", "l.xls"} << 1;
    QTest::newRow("supervisor may not back up") << "super" << QStringList{"db", "backup"} << 1;
    QTest::newRow("supervisor may not create") << "super" << QStringList{"db", "create", "DB/n.kdb"} << 1;
    QTest::newRow("nobody logged in") << "" << QStringList{"db", "backup"} << 1;
    QTest::newRow("administrator shows configuration") << "admin" << QStringList{"config", "show"} << 0;
}

void TestMaintenanceCli::roles()
{
    QFETCH(QString, login);
    QFETCH(QStringList, args);
    QFETCH(int, rc);
    CliHome home;
    QVERIFY(home.ok);
    for (QString &a : args)
        if (a.contains('/') || a.endsWith(".zip") || a.endsWith(".xls") || a == "DB")
            a = home.file(a);
    const Run r = home.run(login, args);
    QVERIFY2(r.rc == rc, qPrintable(QString("rc %1\n%2%3").arg(r.rc).arg(r.out, r.err)));
    if (rc == 1 && !login.isEmpty())
        QVERIFY2(r.err.contains("is not available to the"), qPrintable(r.err));
}

void TestMaintenanceCli::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("db alone") << QStringList{"db"};
    QTest::newRow("unknown db verb") << QStringList{"db", "repair", "x"};
    QTest::newRow("restore without folder") << QStringList{"db", "restore", "x.zip"};
    QTest::newRow("compact without file") << QStringList{"db", "compact"};
    QTest::newRow("export without file") << QStringList{"log", "export"};
    QTest::newRow("unknown key") << QStringList{"config", "set", "TCPSERVERPORT", "4000"};
    QTest::newRow("not a number") << QStringList{"config", "set", "VALIDITY", "thirty"};
    QTest::newRow("config alone") << QStringList{"config"};
}

void TestMaintenanceCli::usage()
{
    QFETCH(QStringList, args);
    CliHome home;
    const Run r = home.run("admin", args);
    QVERIFY2(r.rc == 2, qPrintable(QString("rc %1\n%2").arg(r.rc).arg(r.err)));
    QVERIFY(r.err.contains("usage:"));
}

void TestMaintenanceCli::backupRestoreRoundTrip()
{
    CliHome home;
    QVERIFY(home.ok);
    const QString archive = home.file("DB/cli backup.zip");
    Run r = home.run("admin", {"db", "backup", archive});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(QFile::exists(archive));
    QCOMPARE(home.events("Database Backup"),
             QStringList({"admin: Database " + home.file("DB/dbKovraConsole.kdb") + " backed up"}));

    // Restore asks first: without an answer it is declined.
    QTemporaryDir target;
    r = home.run("admin", {"db", "restore", archive, target.path()});
    QCOMPARE(r.rc, 1);
    QVERIFY(QDir(target.path()).isEmpty());

    r = home.run("admin", {"--yes", "db", "restore", archive, target.path()});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.err.contains("Database restored successfully."));
    QVERIFY(QFile::exists(target.path() + "/dbKovraConsole.kdb"));
    QCOMPARE(home.events("Database Restore"), QStringList({"admin: Database dbKovraConsole.kdb restored"}));

    // A text file as the first entry: refused, nothing extracted.
    const QString textArchive = home.file("Import/readme.zip");
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(textArchive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    QVERIFY(za);
    static const char hello[] = "hello";
    QVERIFY(zip_file_add(za, "readme.txt", zip_source_buffer(za, hello, 5, 0), 0) >= 0);
    QCOMPARE(zip_close(za), 0);
    QTemporaryDir other;
    r = home.run("admin", {"--yes", "db", "restore", textArchive, other.path()});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("Database archive file is not valid."));
    QVERIFY(QDir(other.path()).isEmpty());
}

void TestMaintenanceCli::configSetFollowsDialogRules()
{
    CliHome home;
    QVERIFY(home.ok);
    Run r = home.run("admin", {"config", "set", "AUTOLOGOUTTIME", "150"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.out.contains("AUTOLOGOUTTIME=120"));
    QFile ini(home.file("KOVRACONSOLE.INI"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("AUTOLOGOUTTIME=120"));
    QCOMPARE(home.events("Configuration Change").size(), 1);

    r = home.run("admin", {"config", "set", "validity", "500"});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("VALIDITY must be from 1 to 180."));
    r = home.run("admin", {"config", "show"});
    QVERIFY(r.out.contains("VALIDITY=90"));
    QCOMPARE(home.events("Configuration Change").size(), 1);
}

void TestMaintenanceCli::createAndExport()
{
    CliHome home;
    QVERIFY(home.ok);
    Run r = home.run("admin", {"db", "create", home.file("DB/dbKovraConsole.kdb")});
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("Cannot overwrite current Database."));
    r = home.run("admin", {"db", "create", home.file("DB/second.kdb")});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(QFile::exists(home.file("DB/second.kdb")));

    r = home.run("admin", {"log", "export", home.file("Export/events.txt")});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QCOMPARE(r.out.trimmed(), home.file("Export/events.xls"));
    QFile xls(home.file("Export/events.xls"));
    QVERIFY(xls.open(QIODevice::ReadOnly));
    QCOMPARE(xls.read(8), QByteArray("\x09\x00\x04\x00\x00\x00\x10\x00", 8));
}

QTEST_GUILESS_MAIN(TestMaintenanceCli)
#include "tst_maintenance_cli.moc"
