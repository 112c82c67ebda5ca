// The log spreadsheet: the BIFF2 record stream byte by byte, the row limit and
// its question, the file name rule, failures, and a check by an independent reader.
#include "ScriptedDialogs.h"
#include "TDataSetToExcel.h"
#include "TempHome.h"

#include <QtTest>
#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstring>

using namespace kovra;

namespace {

struct Record {
    quint16 type;
    QByteArray data;
    quint16 u16(int at) const { return qFromLittleEndian<quint16>(data.constData() + at); }
    quint8 u8(int at) const { return quint8(data.at(at)); }
    double number() const
    {
        quint64 bits = qFromLittleEndian<quint64>(data.constData() + 7);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    QByteArray labelText() const { return data.mid(8, u8(7)); }
};

// Splits the file into records; fails the test when a length runs past the end.
QList<Record> readRecords(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    QList<Record> out;
    int pos = 0;
    while (pos + 4 <= all.size()) {
        const quint16 type = qFromLittleEndian<quint16>(all.constData() + pos);
        const quint16 len = qFromLittleEndian<quint16>(all.constData() + pos + 2);
        if (pos + 4 + len > all.size()) {
            qWarning("record at %d runs past the end", pos);
            return {};
        }
        out.append({type, all.mid(pos + 4, len)});
        pos += 4 + len;
    }
    if (pos != all.size())
        qWarning("%d trailing bytes", int(all.size() - pos));
    return out;
}

// A log table as the user database holds it.
class LogDb {
public:
    LogDb()
    {
        m_db = QSqlDatabase::addDatabase("QSQLITE", "tst_excel_log");
        m_db.setDatabaseName(m_dir.filePath("udb.kdb"));
        m_db.open();
        QSqlQuery(m_db).exec("CREATE TABLE tblLog (Event_ID INTEGER PRIMARY KEY AUTOINCREMENT, EventTime TEXT, "
                             "User TEXT, Event TEXT, EventDescription TEXT)");
    }
    ~LogDb()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase("tst_excel_log");
    }
    void add(int count, const QDateTime &start)
    {
        m_db.transaction();
        QSqlQuery q(m_db);
        q.prepare("INSERT INTO tblLog (EventTime, User, Event, EventDescription) VALUES (?, ?, ?, ?)");
        for (int i = 0; i < count; ++i) {
            q.addBindValue(start.addSecs(i).toString(Qt::ISODate));
            q.addBindValue("admin");
            q.addBindValue("User Login");
            q.addBindValue(QString("User admin logged in %1").arg(i));
            q.exec();
        }
        m_db.commit();
    }
    QSqlDatabase db() const { return m_db; }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QSqlDatabase m_db;
};

} // namespace

class TestExcel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyLogLayout();
    void smallLogCells();
    void cellKinds_data();
    void cellKinds();
    void rowLimitAsksThenWritesFirst65535();
    void rowLimitDeclinedWritesNothing();
    void fileNameBecomesXls_data();
    void fileNameBecomesXls();
    void chosenTxtIsWrittenAsXls();
    void unwritableFileReportsFailure();
    void independentReaderSeesTheCells();
};

void TestExcel::emptyLogLayout()
{
    QTemporaryDir dir;
    ListDataSet table(LogFields(), {});
    TDataSetToExcel x(table, dir.filePath("log.xls"));
    QVERIFY(x.WriteFile());
    const QList<Record> r = readRecords(x.fileName());
    // BOF, 3 fonts, 5 widths, 6 formats, DIMENSIONS, 5 header labels, EOF
    QCOMPARE(r.size(), 1 + 3 + 5 + 6 + 1 + 5 + 1);

    QCOMPARE(r[0].type, quint16(9));
    QCOMPARE(r[0].data, QByteArray("\x00\x00\x10\x00", 4));

    const struct { quint16 height; quint16 attr; const char *name; } fonts[] = {
        {200, 0, "Arial"}, {200, 1, "Arial"}, {220, 0, "Courier New"}};
    for (int i = 0; i < 3; ++i) {
        const Record &f = r[1 + i];
        QCOMPARE(f.type, quint16(0x31));
        QCOMPARE(f.data.size(), int(std::strlen(fonts[i].name)) + 5);
        QCOMPARE(f.u16(0), fonts[i].height);
        QCOMPARE(f.u16(2), fonts[i].attr);
        QCOMPARE(f.data.mid(5, f.u8(4)), QByteArray(fonts[i].name));
    }

    // (display width + 1) * 60, plus 1000 for the key and 6000 for the time stamp
    const quint16 widths[] = {11 * 60 + 1000, 19 * 60 + 6000, 31 * 60, 201 * 60, 256 * 60};
    for (int i = 0; i < 5; ++i) {
        const Record &w = r[4 + i];
        QCOMPARE(w.type, quint16(0x24));
        QCOMPARE(w.data.size(), 4);
        QCOMPARE(w.u8(0), quint8(i));
        QCOMPARE(w.u8(1), quint8(i));
        QCOMPARE(w.u16(2), widths[i]);
    }

    const char *formats[] = {"General", "0", "###,###,##0.00", "dd-mmm-yyyy hh:mm:ss", "dd-mmm-yyyy", "hh:mm:ss"};
    for (int i = 0; i < 6; ++i) {
        const Record &f = r[9 + i];
        QCOMPARE(f.type, quint16(0x1E));
        QCOMPARE(f.data.size(), int(std::strlen(formats[i])) + 1);
        QCOMPARE(f.data.mid(1, f.u8(0)), QByteArray(formats[i]));
    }

    const Record &dim = r[15];
    QCOMPARE(dim.type, quint16(0));
    QCOMPARE(dim.data, QByteArray("\x00\x00\x00\x00\x00\x00\x04\x00", 8));

    const char *headers[] = {"Event_ID", "EventTime", "User", "Event", "EventDescription"};
    for (int i = 0; i < 5; ++i) {
        const Record &h = r[16 + i];
        QCOMPARE(h.type, quint16(4));
        QCOMPARE(h.data.size(), int(std::strlen(headers[i])) + 8);
        QCOMPARE(h.u16(0), quint16(0));
        QCOMPARE(h.u16(2), quint16(i));
        QCOMPARE(h.data.mid(4, 3), QByteArray("\x00\x40\xF8", 3));
        QCOMPARE(h.labelText(), QByteArray(headers[i]));
    }
    QCOMPARE(r.last().type, quint16(10));
    QCOMPARE(r.last().data.size(), 0);
}

void TestExcel::smallLogCells()
{
    QTemporaryDir dir;
    const QString longText(300, QChar('x'));
    // 1 January 2000 is day 36526 of the spreadsheet calendar; 06:00 is a quarter day.
    ListDataSet table(LogFields(), {
        {7, QString("2000-01-01T06:00:00"), "admin", "User Login", "User admin logged in"},
        {8, QString("2000-01-02T00:00:00"), "", "Database Backup", longText},
    });
    TDataSetToExcel x(table, dir.filePath("log.xls"));
    QVERIFY(x.WriteFile());
    const QList<Record> r = readRecords(x.fileName());
    QCOMPARE(r[15].type, quint16(0));
    QCOMPARE(r[15].u16(2), quint16(2));   // last row: the row count
    const QList<Record> cells = r.mid(21, r.size() - 22);
    QCOMPARE(cells.size(), 10);

    const Record &id = cells[0];
    QCOMPARE(id.type, quint16(3));
    QCOMPARE(id.data.size(), 15);
    QCOMPARE(id.u16(0), quint16(1));
    QCOMPARE(id.u16(2), quint16(0));
    QCOMPARE(id.data.mid(4, 3), QByteArray("\x00\x81\x00", 3));   // font 2, format "0"
    QCOMPARE(id.number(), 7.0);

    const Record &time = cells[1];
    QCOMPARE(time.type, quint16(3));
    QCOMPARE(time.data.size(), 15);
    QCOMPARE(time.data.mid(4, 3), QByteArray("\x00\x83\x00", 3));   // font 2, date-time format
    QCOMPARE(time.number(), 36526.25);

    const Record &event = cells[3];
    QCOMPARE(event.type, quint16(4));
    QCOMPARE(event.data.size(), 8 + 10);
    QCOMPARE(event.u16(0), quint16(1));
    QCOMPARE(event.u16(2), quint16(3));
    QCOMPARE(event.data.mid(4, 3), QByteArray("\x00\x00\x00", 3));
    QCOMPARE(event.labelText(), QByteArray("User Login"));

    QCOMPARE(cells[6].number(), 36527.0);
    QCOMPARE(cells[7].type, quint16(4));
    QCOMPARE(cells[7].labelText(), QByteArray());          // an empty text is an empty label
    const Record &cut = cells[9];
    QCOMPARE(cut.u16(0), quint16(2));
    QCOMPARE(cut.u8(7), quint8(255));
    QCOMPARE(cut.data.size(), 8 + 255);
    QCOMPARE(cut.labelText(), QByteArray(255, 'x'));
}

void TestExcel::cellKinds_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("recordType");   // -1: no cell
    QTest::addColumn<int>("attribute");
    QTest::addColumn<double>("number");
    QTest::addColumn<QByteArray>("text");

    using T = ExcelFieldType;
    QTest::newRow("integer") << int(T::Integer) << QVariant(-42) << 3 << 0x81 << -42.0 << QByteArray();
    QTest::newRow("large integer") << int(T::LargeInt) << QVariant(qint64(1) << 40) << 3 << 0x81
                                   << double(qint64(1) << 40) << QByteArray();
    QTest::newRow("float") << int(T::Float) << QVariant(1234.5) << 3 << 0x82 << 1234.5 << QByteArray();
    QTest::newRow("currency") << int(T::Currency) << QVariant(QString("12.25")) << 3 << 0x82 << 12.25 << QByteArray();
    QTest::newRow("date") << int(T::Date) << QVariant(QDate(2000, 1, 1)) << 3 << 0x84 << 36526.0 << QByteArray();
    QTest::newRow("time") << int(T::Time) << QVariant(QTime(18, 0)) << 3 << 0x85 << 0.75 << QByteArray();
    QTest::newRow("date-time value") << int(T::DateTime) << QVariant(QDateTime(QDate(1899, 12, 31), QTime(12, 0)))
                                     << 3 << 0x83 << 1.5 << QByteArray();
    QTest::newRow("boolean") << int(T::Boolean) << QVariant(true) << 4 << 0 << 0.0 << QByteArray("True");
    QTest::newRow("latin-1 text") << int(T::Text) << QVariant(QString::fromUtf8("Caf\xc3\xa9"))
                                  << 4 << 0 << 0.0 << QByteArray("Caf\xe9");
    QTest::newRow("memo") << int(T::Memo) << QVariant(QString("long")) << -1 << 0 << 0.0 << QByteArray();
    QTest::newRow("blob") << int(T::Blob) << QVariant(QByteArray("\x01\x02")) << -1 << 0 << 0.0 << QByteArray();
    QTest::newRow("null number stays blank") << int(T::Integer) << QVariant() << -1 << 0 << 0.0 << QByteArray();
    QTest::newRow("unreadable date stays blank") << int(T::DateTime) << QVariant(QString("yesterday"))
                                                 << -1 << 0 << 0.0 << QByteArray();
}

void TestExcel::cellKinds()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(int, recordType);
    QFETCH(int, attribute);
    QFETCH(double, number);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    // A marker column after the tested one shows that the row goes on after a skipped cell.
    ListDataSet table({{"F", ExcelFieldType(type), 10, true}, {"Marker", ExcelFieldType::Text, 5, true}},
                      {{value, QString("m")}});
    TDataSetToExcel x(table, dir.filePath("kinds.xls"));
    QVERIFY(x.WriteFile());
    const QList<Record> r = readRecords(x.fileName());
    QList<Record> cells;
    for (const Record &rec : r)
        if ((rec.type == 3 || rec.type == 4) && rec.u16(0) == 1)
            cells.append(rec);
    QCOMPARE(cells.last().labelText(), QByteArray("m"));
    if (recordType < 0) {
        QCOMPARE(cells.size(), 1);
        return;
    }
    QCOMPARE(cells.size(), 2);
    const Record &c = cells.first();
    QCOMPARE(int(c.type), recordType);
    QCOMPARE(int(c.u8(5)), attribute);
    if (recordType == 3) {
        QCOMPARE(c.data.size(), 15);
        QCOMPARE(c.number(), number);
    } else {
        QCOMPARE(c.labelText(), text);
    }
}

void TestExcel::rowLimitAsksThenWritesFirst65535()
{
    TempHome home;
    LogDb log;
    log.add(70000, QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    ScriptedDialogs dialogs;
    dialogs.answerYes();
    dialogs.queueFile(log.dir() + "/big.xls");
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Exported);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().caption, QString("Export To Excel"));
    QCOMPARE(dialogs.shown().first().kind, MessageKind::YesNo);
    QCOMPARE(dialogs.shown().first().text,
             QString("You have more than 65535 log entires. Only the first 65535 will be exported. "
                     "Do you wish to continue?"));
    QCOMPARE(dialogs.fileRequests().size(), 1);
    QCOMPARE(dialogs.fileRequests().first().title, QString("Save Event Logs to Excel File"));
    QCOMPARE(dialogs.fileRequests().first().defaultSuffix, QString("xls"));
    QVERIFY(dialogs.fileRequests().first().confirmOverwrite);

    const QList<Record> r = readRecords(log.dir() + "/big.xls");
    QCOMPARE(r[15].u16(2), quint16(65535));
    int lastRow = 0;
    int idCells = 0;
    double lastId = 0;
    for (const Record &rec : r) {
        if (rec.type == 3 && rec.u16(2) == 0) {
            ++idCells;
            lastId = rec.number();
        }
        if ((rec.type == 3 || rec.type == 4))
            lastRow = qMax(lastRow, int(rec.u16(0)));
    }
    QCOMPARE(idCells, 65535);
    QCOMPARE(lastRow, 65535);
    QCOMPARE(lastId, 65535.0);   // the first entries, in key order
}

void TestExcel::rowLimitDeclinedWritesNothing()
{
    TempHome home;
    LogDb log;
    log.add(65536, QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    ScriptedDialogs dialogs;
    dialogs.answerNo();
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Declined);
    QVERIFY(dialogs.fileRequests().isEmpty());
    QVERIFY(QDir(home.file("Export")).isEmpty());

    // Exactly the limit asks nothing.
    QSqlQuery(log.db()).exec("DELETE FROM tblLog WHERE Event_ID = 1");
    dialogs.clear();
    dialogs.queueFile(QString());   // dialog cancelled
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Cancelled);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExcel::fileNameBecomesXls_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("txt") << "/tmp/log.txt" << "/tmp/log.xls";
    QTest::newRow("no extension") << "/tmp/log" << "/tmp/log.xls";
    QTest::newRow("already xls") << "/tmp/log.xls" << "/tmp/log.xls";
    QTest::newRow("two dots") << "/tmp/log.2026.txt" << "/tmp/log.2026.xls";
    QTest::newRow("dotted folder") << "/tmp/v1.2/log" << "/tmp/v1.2/log.xls";
    QTest::newRow("hidden name") << "/tmp/.log" << "/tmp/.log.xls";
}

void TestExcel::fileNameBecomesXls()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QCOMPARE(TDataSetToExcel::XlsFileName(chosen), written);
}

void TestExcel::chosenTxtIsWrittenAsXls()
{
    TempHome home;
    LogDb log;
    log.add(3, QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    ScriptedDialogs dialogs;
    dialogs.queueFile(log.dir() + "/events.txt");
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Exported);
    QVERIFY(!QFile::exists(log.dir() + "/events.txt"));
    const QList<Record> r = readRecords(log.dir() + "/events.xls");
    QVERIFY(!r.isEmpty());
    QCOMPARE(r[15].u16(2), quint16(3));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExcel::unwritableFileReportsFailure()
{
    TempHome home;
    LogDb log;
    log.add(1, QDateTime::currentDateTime());
    ScriptedDialogs dialogs;
    dialogs.queueFile(log.dir() + "/no such folder/log.xls");
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Failed);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().text, QString("Could not Export Log."));
    QCOMPARE(dialogs.shown().first().caption, QString("Error"));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
}

void TestExcel::independentReaderSeesTheCells()
{
    // python3-xlrd reads BIFF2 on its own terms: if it agrees, spreadsheet programs will.
    QString python;
    for (const QString &candidate : {QString("/usr/bin/python3"), QStandardPaths::findExecutable("python3")}) {
        if (candidate.isEmpty() || !QFile::exists(candidate))
            continue;
        if (QProcess::execute(candidate, {"-c", "import xlrd"}) == 0) {
            python = candidate;
            break;
        }
    }
    if (python.isEmpty())
        QSKIP("python3 with the xlrd module (Debian package python3-xlrd) is not installed");

    TempHome home;
    LogDb log;
    log.add(2, QDateTime(QDate(2000, 1, 1), QTime(6, 0)));
    ScriptedDialogs dialogs;
    dialogs.queueFile(log.dir() + "/log.xls");
    QCOMPARE(ExportLogsToExcel(log.db(), home.file("Export")), ExportOutcome::Exported);

    const char *script = R"(
import io, sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=io.StringIO())
sheet = book.sheet_by_index(0)
print(sheet.nrows, sheet.ncols)
for r in range(sheet.nrows):
    print("|".join(("%.6f" % v) if isinstance(v, float) else repr(v) for v in sheet.row_values(r)))
cell = sheet.cell(1, 1)
xf = book.xf_list[cell.xf_index]
print(book.format_map[xf.format_key].format_str)
header = book.xf_list[sheet.cell(0, 0).xf_index]
print(book.font_list[xf.font_index].name, book.font_list[header.font_index].bold)
)";
    QProcess p;
    p.start(python, {"-c", script, log.dir() + "/log.xls"});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == 0, qPrintable(err));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 6, qPrintable(lines.join("\n")));
    QCOMPARE(lines[0], QString("3 5"));
    QCOMPARE(lines[1], QString("'Event_ID'|'EventTime'|'User'|'Event'|'EventDescription'"));
    QCOMPARE(lines[2], QString("1.000000|36526.250000|'admin'|'User Login'|'User admin logged in 0'"));
    QCOMPARE(lines[3], QString("2.000000|36526.250012|'admin'|'User Login'|'User admin logged in 1'"));
    QCOMPARE(lines[4], QString("dd-mmm-yyyy hh:mm:ss"));
    QCOMPARE(lines[5], QString("Courier New 1"));
}

QTEST_GUILESS_MAIN(TestExcel)
#include "tst_excel.moc"
