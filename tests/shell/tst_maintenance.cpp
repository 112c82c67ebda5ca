// Database maintenance: open, create, compact and repair, backup and restore,
// with the messages, log events and mode changes the user sees, and restore's
// refusal of archives that would write outside the chosen folder.
#include "DatabaseMaintenance.h"
#include "InstallationFolder.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "ScriptedDialogs.h"

#include <QtTest>
#include <QRegularExpression>
#include <QSqlQuery>

#include <sys/stat.h>
#include <zip.h>

using namespace kovra;

namespace {

// Stands in for the main window: records what the commands ask of it.
class FakeMainWindow : public MainWindowHooks {
public:
    FakeMainWindow() { SetMainWindowHooks(this); }
    ~FakeMainWindow() override { SetMainWindowHooks(nullptr); }
    int mode() const override { return m_mode; }
    void setMode(int mode) override { m_mode = mode; modes.append(mode); }
    void applyLoginMode() override { setMode(Login().CurrentMode); }
    void logOut(bool logEvent) override
    {
        busyAtLogOut = ConsoleBusy();
        logOuts.append(logEvent);
        Login().CurrentUserType = ModeUnattended;
        Login().CurrentMode = ModeUnattended;
        setMode(ModeUnattended);
    }
    bool closeWindowsForAutoLogout() override { return true; }
    void setCurrentDatabaseLabel(const QString &path) override { labels.append(path); }
    void setDebugButtonVisible(bool) override {}
    void refreshAll() override {}

    int m_mode = ModeAdministrator;
    QList<int> modes;
    QStringList labels;
    QList<bool> logOuts;
    bool busyAtLogOut = false;
};

void logInAsAdministrator()
{
    Login().CurrentUserName = "admin";
    Login().CurrentUserType = ModeAdministrator;
    Login().CurrentMode = ModeAdministrator;
}

struct Entry {
    QByteArray name;
    QByteArray data;
    bool link = false;
};

// Writes a ZIP archive with exactly these entry names, however hostile.
bool writeArchive(const QString &path, const QList<Entry> &entries)
{
    if (entries.isEmpty()) {
        // libzip deletes an archive left empty; an end record alone is a valid empty archive.
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')) == 22;
    }
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    for (const Entry &e : entries) {
        zip_source_t *src = zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t i = zip_file_add(za, e.name.constData(), src, ZIP_FL_ENC_RAW);
        if (i < 0) {
            zip_source_free(src);
            zip_discard(za);
            return false;
        }
        if (e.link)
            zip_file_set_external_attributes(za, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
    }
    return zip_close(za) == 0;
}

QStringList lastLogEvents(TdmdMain &dm, int count)
{
    QSqlQuery q(dm.userDatabase());
    q.exec(QString("SELECT Event || ': ' || EventDescription FROM tblLog ORDER BY Event_ID DESC LIMIT %1").arg(count));
    QStringList out;
    while (q.next())
        out.prepend(q.value(0).toString());
    return out;
}

int accountCount(TdmdMain &dm)
{
    QSqlQuery q(dm.accountDatabase());
    q.exec("SELECT count(*) FROM tblKovra");
    return q.next() ? q.value(0).toInt() : -1;
}

QStringList filesIn(const QString &folder)
{
    QStringList files = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    // The write-ahead log of the database the console has open is its own business.
    files.removeAll("dbKovraConsole.kdb-wal");
    return files;
}

} // namespace

Q_DECLARE_METATYPE(Entry)

class TestMaintenance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { logInAsAdministrator(); ResetLastTimedMessage(); }

    void tempNameKeepsFolderAndExtension_data();
    void tempNameKeepsFolderAndExtension();
    void compactRebuildsThroughTempFileAndLeavesNone();
    void compactFailureKeepsOriginal_data();
    void compactFailureKeepsOriginal();
    void compactCommandUserDatabaseOnly();

    void backupThenRestoreGivesSameRows();
    void backupNeedsOpenDatabase();
    void secondBackupSucceedsAfterFailedOne();
    void restoreRefusesArchiveWithoutDatabaseFirst_data();
    void restoreRefusesArchiveWithoutDatabaseFirst();
    void restoreRefusesHostileArchive_data();
    void restoreRefusesHostileArchive();
    void restoreDropsStaleLogOfReplacedFile();
    void restoreOfDamagedArchiveKeepsDatabases_data();
    void restoreOfDamagedArchiveKeepsDatabases();

    void createRefusedOntoOpenDatabase_data();
    void createRefusedOntoOpenDatabase();
    void createFromReadOnlyTemplateIsWritable();
    void openFailureShowsNoDatabaseAndKeepsMode();
};

void TestMaintenance::tempNameKeepsFolderAndExtension_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("temp");
    QTest::newRow("account database") << "/h/DB/acc.kdb" << "/h/DB/acc_TEMP.kdb";
    QTest::newRow("user database") << "/h/udb.kdb" << "/h/udb_TEMP.kdb";
    QTest::newRow("dotted folder") << "/h/v1.2/a.kdb" << "/h/v1.2/a_TEMP.kdb";
    QTest::newRow("short name stays in its folder") << "/h/bdb" << "/h/_TEMPbdb";
}

void TestMaintenance::tempNameKeepsFolderAndExtension()
{
    QFETCH(QString, file);
    QFETCH(QString, temp);
    QCOMPARE(CompactTempName(file), temp);
}

void TestMaintenance::compactRebuildsThroughTempFileAndLeavesNone()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString acc = home.file("DB/acc.kdb");
    QVERIFY(QFile::copy(home.file("DB/dbKovraConsole.kdb"), acc));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(acc);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE filler (x BLOB)"));
        QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                       "INSERT INTO filler SELECT randomblob(1000) FROM n"));
        QVERIFY(q.exec("DELETE FROM filler WHERE rowid > 10"));
        QVERIFY(q.exec("INSERT INTO tblReceiver (ReceiverIP, ReceiverName) VALUES ('10.0.0.1', 'kept')"));
        db.close();
    }
    QSqlDatabase::removeDatabase("fill");
    // A left-over temporary file from an earlier run is replaced, not reused.
    QFile stale(home.file("DB/acc_TEMP.kdb"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("left over");
    stale.close();
    const qint64 before = QFileInfo(acc).size();

    QCOMPARE(CompactAndRepairDatabase(home.db(), acc), 1);
    QVERIFY(!QFile::exists(home.file("DB/acc_TEMP.kdb")));
    QVERIFY(QFileInfo(acc).size() < before / 10);
    QVERIFY(dialogs.shown().isEmpty());
    QVERIFY(home.db().databaseOpen());   // reopened afterwards
    QVERIFY(home.db().userDatabaseOpen());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(acc);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT ReceiverName FROM tblReceiver"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("kept"));
        QVERIFY(q.exec("SELECT count(*) FROM filler"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 10);
        db.close();
    }
    QSqlDatabase::removeDatabase("check");
    QCOMPARE(filesIn(home.file("DB")), QStringList({"acc.kdb", "dbKovraConsole.kdb"}));
}

void TestMaintenance::compactFailureKeepsOriginal_data()
{
    QTest::addColumn<QByteArray>("content");   // empty: no file at all
    QTest::newRow("not a database") << QByteArray("this is a text file, not a database\n");
    QTest::newRow("damaged database") << QByteArray("SQLite format 3\0garbage", 24) + QByteArray(4096, '\x5a');
    QTest::newRow("missing file") << QByteArray();
}

void TestMaintenance::compactFailureKeepsOriginal()
{
    QFETCH(QByteArray, content);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString bad = home.file("DB/bad.kdb");
    if (!content.isEmpty()) {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QCOMPARE(CompactAndRepairDatabase(home.db(), bad), 0);
    QCOMPARE(dialogs.texts(), QStringList({"Compacting and repairing the Database has failed."}));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    QVERIFY(!QFile::exists(home.file("DB/bad_TEMP.kdb")));
    if (content.isEmpty()) {
        QVERIFY(!QFile::exists(bad));   // not created by the attempt
    } else {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
    QVERIFY(home.db().databaseOpen());
}

void TestMaintenance::compactCommandUserDatabaseOnly()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().WriteLogEvent(10);
    // "udb.kdb" compacts the user database and asks nothing more.
    dialogs.queueFile(home.file("udb.kdb"));
    QCOMPARE(CompactCommand(home.db()), CompactOutcome::Compacted);
    QCOMPARE(dialogs.fileRequests().first().title, QString("Select Database to Compact And Repair"));
    QCOMPARE(dialogs.texts(), QStringList({"User Database compacted and repaired sucessfully."}));
    QVERIFY(home.db().userDatabaseOpen());
    QCOMPARE(lastLogEvents(home.db(), 1), QStringList({"Configuration Change: Configuration Changed"}));

    // The same name in capitals is an account database: it asks about the user database.
    dialogs.clear();
    dialogs.closeTimedMessages();
    QVERIFY(QFile::copy(home.file("DB/dbKovraConsole.kdb"), home.file("DB/UDB.KDB")));
    dialogs.queueFile(home.file("DB/UDB.KDB"));
    dialogs.answerYes();
    QCOMPARE(CompactCommand(home.db()), CompactOutcome::CompactedWithUserDatabase);
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(dialogs.shown().at(0).caption, QString("Database Compact and Repair"));
    QCOMPARE(dialogs.shown().at(0).text,
             QString("Database compacted and repaired succesfully. Do you wish to Compact and Repair the User "
                     "Database as well?"));
    QCOMPARE(dialogs.shown().at(1).text, QString("User Database compacted and repaired sucessfully."));

    dialogs.clear();
    dialogs.queueFile(home.file("DB/UDB.KDB"));
    dialogs.answerNo();
    QCOMPARE(CompactCommand(home.db()), CompactOutcome::Compacted);
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestMaintenance::backupThenRestoreGivesSameRows()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    FakeMainWindow window;
    home.addAccount("0000000001");
    home.addAccount("00000000AB");
    const int accounts = accountCount(home.db());
    const int options = home.rowCount("tblKovraOptions");
    const QString archive = home.file("DB/backup.zip");

    dialogs.queueFile(archive);
    QCOMPARE(BackupCommand(home.db()), BackupOutcome::Succeeded);
    QVERIFY(!ConsoleBusy());
    QCOMPARE(dialogs.fileRequests().size(), 1);
    const FileDialogRequest &req = dialogs.fileRequests().first();
    QCOMPARE(req.title, QString("Database Backup"));
    QCOMPARE(req.defaultSuffix, QString("zip"));
    QVERIFY(req.confirmOverwrite);
    QVERIFY2(QRegularExpression("^KovraConsole Database Backup -dbKovraConsole\\d{6}-\\d{6}\\.zip$")
                 .match(req.fileName).hasMatch(), qPrintable(req.fileName));
    QCOMPARE(dialogs.texts(), QStringList({"Database Backup finished successfully."}));
    QCOMPARE(lastLogEvents(home.db(), 1),
             QStringList({"Database Backup: Database " + home.db().CurrentDatabasePath() + " backed up"}));
    QVERIFY(home.db().databaseOpen());

    // One entry without folders, deflated.
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    QVERIFY(za);
    QCOMPARE(zip_get_num_entries(za, 0), zip_int64_t(1));
    zip_stat_t st;
    QCOMPARE(zip_stat_index(za, 0, 0, &st), 0);
    QCOMPARE(QString(st.name), QString("dbKovraConsole.kdb"));
    QCOMPARE(int(st.comp_method), ZIP_CM_DEFLATE);
    QCOMPARE(qint64(st.size), QFileInfo(home.db().CurrentDatabasePath()).size());
    zip_discard(za);

    // Change the data, then restore the archive over it.
    home.addAccount("0000000002");
    QCOMPARE(accountCount(home.db()), accounts + 1);
    dialogs.clear();
    dialogs.closeTimedMessages();
    dialogs.answerYes();
    dialogs.queueFile(archive);
    dialogs.queueFile(home.file("DB"));
    QCOMPARE(RestoreCommand(home.db()), RestoreOutcome::Restored);
    QCOMPARE(dialogs.shown().first().text,
             QString("You are about to restore the Database. All current data will be replaced. Do you want to "
                     "continue?"));
    QCOMPARE(dialogs.fileRequests().at(0).title, QString("Database Restore"));
    QCOMPARE(dialogs.fileRequests().at(1).title, QString("Please select folder to extract Database to."));
    QCOMPARE(dialogs.shown().last().text,
             QString("Database restored successfully.\r\nPlease log in to view the restored Database."));
    // Logged out while the busy flag held off the auto-logout; the account database stays closed.
    QCOMPARE(window.logOuts, QList<bool>({true}));
    QVERIFY(window.busyAtLogOut);
    QVERIFY(!ConsoleBusy());
    QCOMPARE(window.mode(), int(ModeUnattended));
    QVERIFY(home.db().needsDatabase());
    QVERIFY(!home.db().databaseOpen());
    QVERIFY(home.db().userDatabaseOpen());
    QCOMPARE(lastLogEvents(home.db(), 1), QStringList({"Database Restore: Database dbKovraConsole.kdb restored"}));
    QCOMPARE(filesIn(home.file("DB")), QStringList({"backup.zip", "dbKovraConsole.kdb"}));

    QVERIFY(home.db().OpenDatabase());
    QCOMPARE(accountCount(home.db()), accounts);
    QCOMPARE(home.rowCount("tblKovraOptions"), options);
}

void TestMaintenance::backupNeedsOpenDatabase()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    QCOMPARE(BackupCommand(home.db()), BackupOutcome::NoDatabase);
    QCOMPARE(dialogs.texts(), QStringList({"No Database Loaded."}));
    QVERIFY(dialogs.fileRequests().isEmpty());
}

void TestMaintenance::secondBackupSucceedsAfterFailedOne()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    dialogs.queueFile(home.file("no such folder/backup.zip"));
    QCOMPARE(BackupCommand(home.db()), BackupOutcome::Failed);
    QCOMPARE(dialogs.lastText(), QString("Database Backup failed."));
    QVERIFY(ArchiveErrorFlag());
    QVERIFY(home.db().databaseOpen());
    QVERIFY(!ConsoleBusy());

    dialogs.clear();
    dialogs.queueFile(home.file("DB/second.zip"));
    QCOMPARE(BackupCommand(home.db()), BackupOutcome::Succeeded);
    QCOMPARE(dialogs.texts(), QStringList({"Database Backup finished successfully."}));
    QVERIFY(QFile::exists(home.file("DB/second.zip")));
    // The dialog now starts in the folder last chosen.
    dialogs.queueFile(QString());
    QCOMPARE(BackupCommand(home.db()), BackupOutcome::Cancelled);
    QCOMPARE(dialogs.fileRequests().last().folder, home.file("DB"));
}

void TestMaintenance::restoreRefusesArchiveWithoutDatabaseFirst_data()
{
    QTest::addColumn<QList<Entry>>("entries");
    QTest::newRow("text file first") << QList<Entry>{{"readme.txt", "hello"}, {"acc.kdb", "data"}};
    QTest::newRow("folder entry first")
        << QList<Entry>{{"sub.kdb/", ""}, {"acc.kdb", "data"}};
    QTest::newRow("no entries") << QList<Entry>{};
}

void TestMaintenance::restoreRefusesArchiveWithoutDatabaseFirst()
{
    QFETCH(QList<Entry>, entries);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString archive = home.file("Import/archive.zip");
    QVERIFY(writeArchive(archive, entries));
    QTemporaryDir target;
    dialogs.queueFile(target.path());
    const RestoreOutcome out = RestoreFromArchive(home.db(), archive, QString());
    QCOMPARE(out, RestoreOutcome::NotValid);
    QCOMPARE(dialogs.texts(), QStringList({"Database archive file is not valid."}));
    QVERIFY(filesIn(target.path()).isEmpty());
    QVERIFY(home.db().databaseOpen());
    QVERIFY(home.db().userDatabaseOpen());
    QVERIFY(!ConsoleBusy());
}

void TestMaintenance::restoreRefusesHostileArchive_data()
{
    QTest::addColumn<QList<Entry>>("entries");
    QTest::addColumn<QString>("linkName");   // a link planted in the target folder first
    QTest::newRow("parent folder") << QList<Entry>{{"../evil.kdb", "x"}} << QString();
    QTest::newRow("parent after a good entry") << QList<Entry>{{"good.kdb", "x"}, {"../evil.txt", "x"}} << QString();
    QTest::newRow("nested parent") << QList<Entry>{{"good.kdb", "x"}, {"a/../../evil.kdb", "x"}} << QString();
    QTest::newRow("absolute path") << QList<Entry>{{"good.kdb", "x"}, {"/tmp/kovra-evil.kdb", "x"}} << QString();
    QTest::newRow("backslash parent") << QList<Entry>{{"..\\evil.kdb", "x"}} << QString();
    QTest::newRow("symbolic link entry") << QList<Entry>{{"good.kdb", "x"}, {"link", "/etc", true}} << QString();
    QTest::newRow("through a link in the folder") << QList<Entry>{{"out/evil.kdb", "x"}} << QString("out");
    QTest::newRow("over a link in the folder") << QList<Entry>{{"out.kdb", "x"}} << QString("out.kdb");
}

void TestMaintenance::restoreRefusesHostileArchive()
{
    QFETCH(QList<Entry>, entries);
    QFETCH(QString, linkName);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString archive = home.file("Import/hostile.zip");
    QVERIFY(writeArchive(archive, entries));
    QTemporaryDir outer;
    const QString target = outer.filePath("target");
    const QString outside = outer.filePath("outside");
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QDir().mkpath(outside));
    if (!linkName.isEmpty()) {
        const QString pointee = linkName.endsWith(".kdb") ? outside + "/victim.kdb" : outside;
        if (linkName.endsWith(".kdb")) {
            QFile v(pointee);
            QVERIFY(v.open(QIODevice::WriteOnly));
            v.write("victim");
        }
        QVERIFY(QFile::link(pointee, target + "/" + linkName));
    }
    const QStringList before = filesIn(target);
    home.addAccount("0000000001");

    dialogs.queueFile(target);
    QCOMPARE(RestoreFromArchive(home.db(), archive, QString()), RestoreOutcome::NotValid);
    QCOMPARE(dialogs.texts(), QStringList({"Database archive file is not valid."}));
    QCOMPARE(filesIn(target), before);
    QCOMPARE(filesIn(outer.path()), QStringList({"outside", "target"}));
    QVERIFY(!QFile::exists("/tmp/kovra-evil.kdb"));
    if (linkName.endsWith(".kdb")) {
        QFile v(outside + "/victim.kdb");
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("victim"));
    } else {
        QVERIFY(filesIn(outside).isEmpty());
    }
    QVERIFY(home.db().databaseOpen());
    QCOMPARE(accountCount(home.db()), 1);
    QVERIFY(!ConsoleBusy());
}

void TestMaintenance::restoreDropsStaleLogOfReplacedFile()
{
    // A crash can leave a write-ahead log beside the file a restore replaces;
    // replayed into the restored file it would corrupt it.
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.zip");
    QVERIFY(writeArchive(archive, {{"a.kdb", "restored"}}));
    QVERIFY(QDir().mkdir(dir.filePath("target")));
    for (const char *name : {"a.kdb", "a.kdb-wal", "a.kdb-shm", "other.kdb-wal"}) {
        QFile f(dir.filePath(QString("target/") + name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    QCOMPARE(ExtractArchive(archive, dir.filePath("target")), ExtractResult::Ok);
    QCOMPARE(filesIn(dir.filePath("target")), QStringList({"a.kdb", "other.kdb-wal"}));
    QFile f(dir.filePath("target/a.kdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("restored"));
}

void TestMaintenance::restoreOfDamagedArchiveKeepsDatabases_data()
{
    QTest::addColumn<bool>("truncate");
    QTest::newRow("truncated") << true;
    QTest::newRow("damaged data") << false;
}

void TestMaintenance::restoreOfDamagedArchiveKeepsDatabases()
{
    QFETCH(bool, truncate);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001");
    const QString archive = home.file("backup.zip");
    QVERIFY(CreateBackupArchive(archive, home.db().CurrentDatabasePath()));
    home.addAccount("0000000002");
    {
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        if (truncate) {
            bytes.truncate(bytes.size() / 2);
        } else {
            // Inside the compressed data; the central directory stays readable.
            for (int i = 200; i < 260; ++i)
                bytes[i] = char(bytes[i] ^ 0x55);
        }
        f.resize(0);
        f.seek(0);
        f.write(bytes);
    }
    dialogs.queueFile(home.file("DB"));
    QCOMPARE(RestoreFromArchive(home.db(), archive, QString()), RestoreOutcome::NotRestored);
    QCOMPARE(dialogs.texts(), QStringList({"Database not restored."}));
    QCOMPARE(filesIn(home.file("DB")), QStringList({"dbKovraConsole.kdb"}));   // no partial file left
    QVERIFY(home.db().databaseOpen());
    QCOMPARE(accountCount(home.db()), 2);   // not the archive's single account
}

void TestMaintenance::createRefusedOntoOpenDatabase_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::newRow("same path") << "DB/dbKovraConsole.kdb";
    QTest::newRow("same file, other spelling") << "DB/../DB/./dbKovraConsole.kdb";
}

void TestMaintenance::createRefusedOntoOpenDatabase()
{
    QFETCH(QString, spelling);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001");
    dialogs.queueFile(home.path() + "/" + spelling);
    QCOMPARE(CreateDatabaseCommand(home.db()), OpenOutcome::Refused);
    QCOMPARE(dialogs.fileRequests().first().title, QString("Create New Database"));
    QCOMPARE(dialogs.fileRequests().first().defaultSuffix, QString("kdb"));
    QCOMPARE(dialogs.texts(), QStringList({"Cannot overwrite current Database."}));
    QVERIFY(home.db().databaseOpen());
    QCOMPARE(accountCount(home.db()), 1);
}

void TestMaintenance::createFromReadOnlyTemplateIsWritable()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    FakeMainWindow window;
    window.m_mode = ModeNoDatabase;
    Login().CurrentMode = ModeNoDatabase;
    home.addAccount("0000000001");
    QVERIFY(QFile::setPermissions(home.file("bdb"), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const QString created = home.file("DB/new.kdb");
    dialogs.queueFile(created);
    QCOMPARE(CreateDatabaseCommand(home.db()), OpenOutcome::Opened);
    QCOMPARE(dialogs.texts(), QStringList({"The new Database was created."}));
    QVERIFY(QFileInfo(created).permissions() & QFileDevice::WriteOwner);
    QCOMPARE(home.db().CurrentDatabasePath(), created);
    QVERIFY(home.db().databaseOpen());
    QCOMPARE(accountCount(home.db()), 0);
    home.addAccount("0000000003");   // the copy takes writes
    QCOMPARE(accountCount(home.db()), 1);
    // No Database gives way to the user's own mode.
    QCOMPARE(Login().CurrentMode, int(ModeAdministrator));
    QCOMPARE(window.modes.last(), int(ModeAdministrator));
    QCOMPARE(window.labels.last(), created);
    QVERIFY(!QFile::exists(created + ".part"));
}

void TestMaintenance::openFailureShowsNoDatabaseAndKeepsMode()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    FakeMainWindow window;
    QFile junk(home.file("DB/junk.kdb"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all, but long enough to look like a file header............");
    junk.close();
    dialogs.queueFile(junk.fileName());
    QCOMPARE(OpenDatabaseCommand(home.db()), OpenOutcome::NotOpened);
    QCOMPARE(dialogs.fileRequests().first().title, QString("Open Database"));
    QVERIFY(dialogs.fileRequests().first().mustExist);
    QVERIFY(dialogs.texts().contains("An error occurred while opening the Database."));
    QCOMPARE(window.labels.last(), QString("No Database loaded."));
    QCOMPARE(window.modes.last(), int(ModeNoDatabase));
    QCOMPARE(Login().CurrentMode, int(ModeAdministrator));
    QVERIFY(home.db().userDatabaseOpen());   // the log stays writable

    // Opening a good one again brings the user's mode back.
    dialogs.clear();
    dialogs.closeTimedMessages();
    dialogs.queueFile(home.file("DB/dbKovraConsole.kdb"));
    QCOMPARE(OpenDatabaseCommand(home.db()), OpenOutcome::Opened);
    QCOMPARE(window.labels.last(), home.file("DB/dbKovraConsole.kdb"));
    QCOMPARE(window.modes.last(), int(ModeAdministrator));
    QVERIFY(!home.db().needsDatabase());
}

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
