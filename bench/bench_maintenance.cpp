// Figures for the maintenance commands: exporting a full log sheet (65,535
// entries) and backing up an account database of about 100 MB, against
// `zip -9` of the same file when zip is installed.
#include "DatabaseMaintenance.h"
#include "Installation.h"
#include "TDataSetToExcel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace kovra;

namespace {

QTextStream out(stdout);

bool exec(QSqlQuery &q, const QString &sql)
{
    if (q.exec(sql))
        return true;
    out << "SQL failed: " << q.lastError().text() << "\n" << Qt::flush;
    return false;
}

double mb(qint64 bytes) { return bytes / (1024.0 * 1024.0); }

// Processor time (user + system) of this process or of its finished children, in ms.
qint64 cpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

int benchExport(const QString &dir)
{
    const QString path = dir + "/udb.kdb";
    if (!CreateUserDatabaseFile(path).isEmpty())
        return 1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "log");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        const QString start = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).toString(Qt::ISODate);
        if (!exec(q, QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 65535) "
                             "INSERT INTO tblLog (EventTime, User, Event, EventDescription) "
                             "SELECT strftime('%Y-%m-%dT%H:%M:%S', '%1', '+' || i || ' seconds'), 'admin', "
                             "'Kovra Account Edit', 'Kovra Account ' || printf('%010X', i) || ' edited' FROM n")
                          .arg(start)))
            return 1;
        QElapsedTimer t;
        t.start();
        const std::clock_t cpu = std::clock();
        SqlTableDataSet table(db, "tblLog", "Event_ID", LogFields());
        TDataSetToExcel x(table, dir + "/log.xls");
        const bool ok = x.WriteFile();
        const qint64 ms = t.elapsed();
        const qint64 cpuMs = qint64(double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC);
        // On a shared machine the processor time says more than the wall clock.
        out << "export: " << x.rowsWritten() << " log entries to " << QFileInfo(x.fileName()).size()
            << " bytes in " << ms << " ms (processor time " << cpuMs << " ms)" << (ok ? "" : " (FAILED)") << "\n"
            << Qt::flush;
        db.close();
    }
    QSqlDatabase::removeDatabase("log");
    return 0;
}

// Accounts with every option row, as the console stores them, until the file
// reaches the size.
bool fillAccountDatabase(const QString &path, qint64 bytes)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "acc");
    db.setDatabaseName(path);
    if (!db.open())
        return false;
    QSqlQuery q(db);
    int accounts = 0;
    bool ok = true;
    while (ok && QFileInfo(path).size() < bytes) {
        ok = exec(q, "BEGIN");
        for (int i = 0; ok && i < 500; ++i, ++accounts) {
            const QString number = QString("%1").arg(accounts + 1, 10, 16, QChar('0')).toUpper();
            ok = exec(q, QString("INSERT INTO tblKovra (KovraAccount, KovraIP, KovraKey, KovraMAC, Receiver1) VALUES "
                                 "('%1', '10.%2.%3.%4', '%5', '02C0DE000000', '192.168.1.10')")
                             .arg(number)
                             .arg((accounts >> 16) & 255)
                             .arg((accounts >> 8) & 255)
                             .arg(accounts & 255)
                             .arg(QString(number + number + number + "00").left(32)));
            ok = ok && exec(q, QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 385) "
                                       "INSERT INTO tblKovraOptions (Kovra_ID, OptionNumber, KovraOptionOldValue, "
                                       "KovraOptionValue, KovraOptionTempValue) SELECT last_insert_rowid(), "
                                       "printf('%03X', i), printf('%04d', i * 7 % 10000), "
                                       "printf('%04d', (i * 7 + %1) % 10000), '' FROM n")
                                   .arg(accounts % 97));
        }
        ok = ok && exec(q, "COMMIT");
    }
    out << "account database: " << accounts << " accounts, " << QString::number(mb(QFileInfo(path).size()), 'f', 1)
        << " MB\n"
        << Qt::flush;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("acc");
    return ok;
}

int benchBackup(const QString &dir)
{
    const QString path = dir + "/acc.kdb";
    if (!CreateAccountDatabaseFile(path).isEmpty() || !fillAccountDatabase(path, 100LL * 1024 * 1024))
        return 1;
    const qint64 size = QFileInfo(path).size();

    QElapsedTimer t;
    t.start();
    ClearArchiveErrorFlag();
    const bool ok = CreateBackupArchive(dir + "/backup.zip", path) && !ArchiveErrorFlag();
    const qint64 ours = t.elapsed();
    const qint64 ourSize = QFileInfo(dir + "/backup.zip").size();
    out << "backup: " << QString::number(mb(size), 'f', 1) << " MB to " << QString::number(mb(ourSize), 'f', 2)
        << " MB in " << ours << " ms" << (ok ? "" : " (FAILED)") << "\n"
        << Qt::flush;

    t.restart();
    const bool compacted = CompactDatabaseFile(path);
    out << "compact and repair of the same file: " << t.elapsed() << " ms" << (compacted ? "" : " (FAILED)")
        << "\n"
        << Qt::flush;

    const QString zip = QStandardPaths::findExecutable("zip");
    if (zip.isEmpty()) {
        out << "zip -9: not installed, no comparison\n";
        return ok ? 0 : 1;
    }
    // The same (compacted) file for both, as the backup archives it after compaction.
    QFile::remove(dir + "/backup.zip");
    t.restart();
    qint64 cpu = cpuMs(RUSAGE_SELF);
    CreateBackupArchive(dir + "/backup.zip", path);
    const qint64 oursAgain = t.elapsed();
    const qint64 oursCpu = cpuMs(RUSAGE_SELF) - cpu;
    const qint64 oursAgainSize = QFileInfo(dir + "/backup.zip").size();
    t.restart();
    cpu = cpuMs(RUSAGE_CHILDREN);
    const int rc = QProcess::execute(zip, {"-9", "-q", "-j", dir + "/zip9.zip", path});
    const qint64 theirs = t.elapsed();
    const qint64 theirCpu = cpuMs(RUSAGE_CHILDREN) - cpu;
    const qint64 theirSize = QFileInfo(dir + "/zip9.zip").size();
    out << "after compaction: backup " << oursAgain << " ms (processor " << oursCpu << " ms), " << oursAgainSize
        << " bytes; zip -9 " << theirs << " ms (processor " << theirCpu << " ms), " << theirSize << " bytes"
        << (rc == 0 ? "" : " (zip FAILED)") << "\n";
    if (theirs > 0 && theirSize > 0 && theirCpu > 0)
        out << "ratio backup / zip -9: wall time " << QString::number(double(oursAgain) / theirs, 'f', 2)
            << ", processor time " << QString::number(double(oursCpu) / theirCpu, 'f', 2) << ", size "
            << QString::number(double(oursAgainSize) / theirSize, 'f', 3) << "\n";
    out << Qt::flush;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // "export" or "backup" runs one of the two; no argument runs both.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int rc = 0;
    if (only.isEmpty() || only == "export")
        rc |= benchExport(dir.path());
    if (only.isEmpty() || only == "backup")
        rc |= benchBackup(dir.path());
    return rc;
}
