// Opening and closing the two databases, the start-up failures, and exclusive
// use of the files against a second process.
#include "InstallationFolder.h"
#include "KovraHome.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "OptionCatalogue.h"
#include "ScriptedDialogs.h"
#include "TempHome.h"
#include "TdmdMain.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <cstdio>

using namespace kovra;

namespace {

const QString kMissingUser = "User Database is missing. Please re-install the Kovra Console.";
const QString kUserOpenFailed = "An error occured while opening the user database. Application will terminate.";
const QString kNotKovra = "This is not a Kovra Database file.";

// Second-process probes, run as "tst_lifecycle --probe KIND PATH".
int runProbe(const QString &kind, const QString &path)
{
    if (kind == "read" || kind == "write") {
        int rc = 0;
        {
            // A plain connection that waits a little for locks, as an unaware program would.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "probe");
            db.setDatabaseName(path);
            db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=200");
            if (!db.open())
                return 3;
            QSqlQuery q(db);
            const bool ok = kind == "read" ? q.exec("SELECT count(*) FROM sqlite_master") && q.next()
                                           : q.exec("CREATE TABLE probe_t (x INTEGER)");
            std::printf("%s\n", qPrintable(ok ? QString("ok") : q.lastError().text()));
            rc = ok ? 0 : 3;
        }
        QSqlDatabase::removeDatabase("probe");
        return rc;
    }
    if (kind == "module") {
        SetKovraHome(path);
        ScriptedDialogs dialogs;
        TdmdMain module;
        for (const QString &t : dialogs.texts())
            std::printf("message: %s\n", qPrintable(t));
        std::printf("terminate: %d open: %d\n", module.terminationRequested() ? 1 : 0,
                    module.userDatabaseOpen() ? 1 : 0);
        return 0;
    }
    return 2;
}

struct Probe {
    int exitCode;
    QString output;
};

Probe probe(const QString &kind, const QString &path)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"--probe", kind, path});
    if (!p.waitForFinished(60000))
        return {-1, "probe did not finish"};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
}

class FakeMainWindow : public MainWindowHooks {
public:
    int m_mode = ModeNoDatabase;
    int mode() const override { return m_mode; }
    void setMode(int mode) override { m_mode = mode; }
    void applyLoginMode() override {}
    void logOut(bool) override {}
    bool closeWindowsForAutoLogout() override { return true; }
    void setCurrentDatabaseLabel(const QString &) override {}
    void setDebugButtonVisible(bool) override {}
    void refreshAll() override {}
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void startUpOpensOnlyTheUserDatabase();
    void startUpFailures_data();
    void startUpFailures();
    void missingAccountDatabase();
    void accountDatabaseWithoutTables();
    void openingAnotherDatabaseFile();
    void optionCatalogueRefilledAtOpen();
    void closeAndReopenUserDatabase();
    void openLeavesNoDatabaseMode();
    void secondModuleInSameProcessIsRefused();
    void secondProcessCannotReadOrWrite();
    void closedFileIsCompleteOnItsOwn();
};

void TestLifecycle::startUpOpensOnlyTheUserDatabase()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    QVERIFY(home.db().userDatabaseOpen());
    QVERIFY(!home.db().databaseOpen());
    QVERIFY(home.db().needsDatabase());
    QVERIFY(!home.db().terminationRequested());
    QVERIFY(home.db().CurrentDatabasePath().isEmpty());
    QCOMPARE(home.db().userDatabasePath(), home.file("udb.kdb"));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestLifecycle::startUpFailures_data()
{
    QTest::addColumn<QByteArray>("userFile");   // "-" = no file
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("lifetime");
    QTest::addColumn<bool>("terminate");
    QTest::newRow("missing") << QByteArray("-") << kMissingUser << 0 << true;
    QTest::newRow("not a database") << QByteArray(4096, 'x') << kUserOpenFailed << 0 << true;
    QTest::newRow("no tables") << QByteArray() << kNotKovra << 5000 << false;
}

void TestLifecycle::startUpFailures()
{
    QFETCH(QByteArray, userFile);
    QFETCH(QString, message);
    QFETCH(int, lifetime);
    QFETCH(bool, terminate);
    TempHome home;
    if (userFile != "-") {
        QFile f(home.file("udb.kdb"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(userFile);   // an empty file is a valid SQLite database without tables
    }
    ScriptedDialogs dialogs;
    TdmdMain module;
    QCOMPARE(dialogs.texts(), QStringList{message});
    QCOMPARE(dialogs.shown().first().lifetimeMs, lifetime);
    QCOMPARE(module.terminationRequested(), terminate);
    QVERIFY(!module.userDatabaseOpen());
    module.WriteLogEvent(0, "nobody");   // nothing to write to, nothing raised
    QCOMPARE(dialogs.shown().size(), 1);
    if (userFile == "-")
        QVERIFY(!QFile::exists(home.file("udb.kdb")));   // never created by the attempt
}

void TestLifecycle::missingAccountDatabase()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    QVERIFY(QFile::remove(home.file("DB/dbKovraConsole.kdb")));
    QVERIFY(!home.db().OpenDatabase());
    QCOMPARE(dialogs.texts(), QStringList{"Kovra Console Database File " + home.file("DB/dbKovraConsole.kdb") +
                                          " doesn't exist. Please Restore Database File First."});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 10000);
    QVERIFY(!home.db().databaseOpen());
    QVERIFY(!QFile::exists(home.file("DB/dbKovraConsole.kdb")));
    // The log stays writable.
    home.db().WriteLogEvent(10);
    QCOMPARE(home.rowCount("tblLog"), 1);

    // A database deleted after it was chosen.
    dialogs.clear();
    const QString other = home.file("DB/other.kdb");
    QVERIFY(QFile::copy(home.file("bdb"), other));
    home.db().SetCurrentDatabasePath(other);
    QVERIFY(home.db().OpenDatabase());
    home.db().CloseDatabase();
    QVERIFY(QFile::remove(other));
    QVERIFY(home.db().OpenUserDatabase());
    QVERIFY(!home.db().OpenDatabase());
    QVERIFY(dialogs.lastText().contains(other));
}

void TestLifecycle::accountDatabaseWithoutTables()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    const QString path = home.file("DB/empty.kdb");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    home.db().SetCurrentDatabasePath(path);
    QVERIFY(!home.db().OpenDatabase());
    QVERIFY(!home.db().databaseOpen());
    QVERIFY(!home.db().userDatabaseOpen());   // the caller reopens it
    QVERIFY(dialogs.shown().isEmpty());       // reported by the caller
    QVERIFY(home.db().OpenUserDatabase());
}

void TestLifecycle::openingAnotherDatabaseFile()
{
    InstallationFolder home;
    home.addAccount("0000000001");
    QCOMPARE(home.db().CurrentDatabasePath(), home.file("DB/dbKovraConsole.kdb"));
    const QString other = home.file("DB/second.kdb");
    QVERIFY(QFile::copy(home.file("bdb"), other));
    home.db().CloseDatabase();
    home.db().SetCurrentDatabasePath(other);
    QVERIFY(home.db().OpenDatabase());
    QCOMPARE(home.db().CurrentDatabasePath(), other);
    QCOMPARE(home.rowCount("tblKovra"), 0);
    QVERIFY(!home.db().AccountExists("0000000001"));
}

void TestLifecycle::optionCatalogueRefilledAtOpen()
{
    InstallationFolder home;
    const int entries = CatalogueEntries(Generation::V14).size();
    QCOMPARE(home.rowCount("tblOptions"), entries);
    RunSql(home.db().accountDatabase(), "DELETE FROM tblOptions WHERE OptionNumber > '100'");
    RunSql(home.db().accountDatabase(), "INSERT INTO tblOptions (OptionNumber, OptionName) VALUES ('FFF', 'stale')");
    home.db().CloseDatabase();
    QVERIFY(home.db().OpenDatabase());
    QCOMPARE(home.rowCount("tblOptions"), entries);
    QSqlQuery q = RunSql(home.db().accountDatabase(),
                         "SELECT OptionNumber, OptionDescription FROM tblOptions ORDER BY rowid");
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14)) {
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), e.OptionNumber);
        QCOMPARE(q.value(1).toString(), e.OptionDescription);   // 041's 76 characters kept whole
    }
}

void TestLifecycle::closeAndReopenUserDatabase()
{
    InstallationFolder home;
    home.db().CloseDatabase();
    QVERIFY(!home.db().databaseOpen());
    QVERIFY(!home.db().userDatabaseOpen());
    home.db().WriteLogEvent(9, "x");   // nothing written, nothing raised
    QVERIFY(home.db().OpenUserDatabase());
    QVERIFY(!home.db().databaseOpen());
    home.db().WriteLogEvent(9, "x");
    QCOMPARE(home.rowCount("tblLog"), 1);
}

void TestLifecycle::openLeavesNoDatabaseMode()
{
    FakeMainWindow window;
    SetMainWindowHooks(&window);
    InstallationFolder home;
    QCOMPARE(window.m_mode, int(ModeUnknown));
    window.m_mode = ModeAdministrator;
    home.db().CloseDatabase();
    QVERIFY(home.db().OpenDatabase());
    QCOMPARE(window.m_mode, int(ModeAdministrator));   // only No Database is left
    SetMainWindowHooks(nullptr);
}

void TestLifecycle::secondModuleInSameProcessIsRefused()
{
    InstallationFolder home;
    ScriptedDialogs dialogs;
    TdmdMain second;
    QCOMPARE(dialogs.texts(), QStringList{kUserOpenFailed});
    QVERIFY(second.terminationRequested());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, second.OpenDatabase());
    QVERIFY(!second.databaseOpen());
    // The first keeps working.
    QVERIFY(home.addAccount("0000000002") > 0);
}

void TestLifecycle::secondProcessCannotReadOrWrite()
{
    InstallationFolder home;
    const QString accounts = home.file("DB/dbKovraConsole.kdb");
    for (const QString &file : {home.file("udb.kdb"), accounts}) {
        for (const QString &kind : {QString("read"), QString("write")}) {
            const Probe p = probe(kind, file);
            QVERIFY2(p.exitCode == 3, qPrintable(kind + " " + file + ": " + p.output));
        }
    }
    const Probe console = probe("module", home.path());
    QVERIFY2(console.output.contains("message: " + kUserOpenFailed), qPrintable(console.output));
    QVERIFY2(console.output.contains("terminate: 1 open: 0"), qPrintable(console.output));

    // Once closed, the same probes succeed: the lock was the reason.
    home.db().CloseDatabase();
    QCOMPARE(probe("read", accounts).exitCode, 0);
    QCOMPARE(probe("read", home.file("udb.kdb")).exitCode, 0);
}

void TestLifecycle::closedFileIsCompleteOnItsOwn()
{
    // Backups and restores copy the closed .kdb file alone: nothing may remain
    // in a side file once the module has closed it.
    QTemporaryDir copyDir;
    const QString copy = copyDir.path() + "/copy.kdb";
    {
        InstallationFolder home;
        home.addAccount("0000000C01");
        home.db().WriteLogEvent(10);
        home.db().CloseDatabase();
        const QDir db(home.file("DB"));
        QCOMPARE(db.entryList(QDir::Files), QStringList{"dbKovraConsole.kdb"});
        QCOMPARE(QDir(home.path()).entryList({"udb.kdb*"}, QDir::Files), QStringList{"udb.kdb"});
        QVERIFY(QFile::copy(home.file("DB/dbKovraConsole.kdb"), copy));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "copy");
        db.setDatabaseName(copy);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT count(*) FROM tblKovraOptions"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 85);
    }
    QSqlDatabase::removeDatabase("copy");
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--probe") == 0) {
        QCoreApplication app(argc, argv);
        return runProbe(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestLifecycle t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_lifecycle.moc"
