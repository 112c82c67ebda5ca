#include "TDataSetToExcel.h"
#include "MessageDialogs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QtEndian>

#include <cstring>

namespace kovra {

namespace {

enum : quint16 {
    RecDimensions = 0x00, RecNumber = 0x03, RecLabel = 0x04, RecBof = 0x09, RecEof = 0x0A,
    RecFormat = 0x1E, RecColWidth = 0x24, RecFont = 0x31,
};

// Records are assembled in one buffer that goes to the file in large writes.
class RecordWriter {
public:
    explicit RecordWriter(QFile &f) : m_file(f) { m_buf.reserve(FlushAt + 1024); }
    void begin(quint16 type)
    {
        m_start = int(m_buf.size());
        put16(type);
        put16(0);
    }
    void put8(quint8 v) { m_buf.append(char(v)); }
    void put16(quint16 v)
    {
        const char b[2] = {char(v & 0xFF), char(v >> 8)};
        m_buf.append(b, 2);
    }
    void putDouble(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        m_buf.append(b, 8);
    }
    void putText(const QByteArray &t)
    {
        put8(quint8(t.size()));
        m_buf.append(t);
    }
    bool end()
    {
        qToLittleEndian(quint16(m_buf.size() - m_start - 4), m_buf.data() + m_start + 2);
        return m_buf.size() < FlushAt || flush();
    }
    bool flush()
    {
        const bool ok = m_buf.isEmpty() || m_file.write(m_buf) == m_buf.size();
        m_buf.resize(0);
        return ok;
    }

private:
    static constexpr int FlushAt = 64 * 1024;
    QFile &m_file;
    QByteArray m_buf;
    int m_start = 0;
};

// One length byte: longer texts are cut. Characters outside Latin-1 become '?'.
QByteArray cellText(const QString &s) { return s.left(255).toLatin1(); }

bool isLabel(ExcelFieldType t)
{
    return t == ExcelFieldType::Text || t == ExcelFieldType::Boolean
        || t == ExcelFieldType::FixedText || t == ExcelFieldType::WideText;
}

// Attribute byte 2 of a number cell: font index in bits 6-7, format in bits 0-5.
int numberAttribute(ExcelFieldType t)
{
    switch (t) {
    case ExcelFieldType::SmallInt: case ExcelFieldType::Integer: case ExcelFieldType::Word:
    case ExcelFieldType::AutoInc: case ExcelFieldType::LargeInt:
        return 129;
    case ExcelFieldType::Float: case ExcelFieldType::Currency: case ExcelFieldType::BCD:
        return 130;
    case ExcelFieldType::DateTime: return 131;
    case ExcelFieldType::Date: return 132;
    case ExcelFieldType::Time: return 133;
    default: return -1;
    }
}

// "yyyy-MM-ddThh:mm:ss" (or a blank for the T), the form the log stores; parsed
// by hand because it is read once per row of a 65,535-row export.
bool fastIso(const QString &s, QDate *date, QTime *time)
{
    if (s.size() != 19 || s.at(4) != '-' || s.at(7) != '-' || (s.at(10) != 'T' && s.at(10) != ' ')
        || s.at(13) != ':' || s.at(16) != ':')
        return false;
    auto num = [&s](int at, int len, bool *ok) {
        int v = 0;
        for (int i = at; i < at + len; ++i) {
            const QChar c = s.at(i);
            if (c < '0' || c > '9') {
                *ok = false;
                return 0;
            }
            v = v * 10 + (c.unicode() - '0');
        }
        return v;
    };
    bool ok = true;
    const QDate d(num(0, 4, &ok), num(5, 2, &ok), num(8, 2, &ok));
    const QTime t(num(11, 2, &ok), num(14, 2, &ok), num(17, 2, &ok));
    if (!ok || !d.isValid() || !t.isValid())
        return false;
    *date = d;
    *time = t;
    return true;
}

QDateTime toDateTime(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString s = v.toString().trimmed();
    QDate date;
    QTime time;
    if (fastIso(s, &date, &time))
        return QDateTime(date, time);
    for (Qt::DateFormat f : {Qt::ISODateWithMs, Qt::ISODate}) {
        const QDateTime d = QDateTime::fromString(s, f);
        if (d.isValid())
            return d;
    }
    for (const char *f : {"yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd"}) {
        const QDateTime d = QDateTime::fromString(s, QString::fromLatin1(f));
        if (d.isValid())
            return d;
    }
    return QDateTime();
}

bool numberValue(const ExcelField &f, const QVariant &v, double *out)
{
    switch (f.type) {
    case ExcelFieldType::DateTime: {
        if (v.metaType().id() == QMetaType::QString) {
            QDate date;
            QTime time;
            if (fastIso(v.toString(), &date, &time)) {
                *out = TDataSetToExcel::DateSerial(date) + TDataSetToExcel::TimeSerial(time);
                return true;
            }
        }
        const QDateTime d = toDateTime(v);
        if (!d.isValid())
            return false;
        *out = TDataSetToExcel::DateTimeSerial(d);
        return true;
    }
    case ExcelFieldType::Date: {
        const QDateTime d = toDateTime(v);
        if (!d.isValid())
            return false;
        *out = TDataSetToExcel::DateSerial(d.date());
        return true;
    }
    case ExcelFieldType::Time: {
        QTime t = v.metaType().id() == QMetaType::QTime ? v.toTime() : QTime();
        if (!t.isValid()) {
            const QDateTime d = toDateTime(v);
            t = d.isValid() ? d.time() : QTime::fromString(v.toString().trimmed(), Qt::ISODateWithMs);
        }
        if (!t.isValid())
            return false;
        *out = TDataSetToExcel::TimeSerial(t);
        return true;
    }
    default: {
        bool ok = false;
        *out = v.toDouble(&ok);
        return ok;
    }
    }
}

} // namespace

QVariant ListDataSet::value(int index, bool *ok)
{
    const bool valid = m_pos >= 0 && m_pos < m_rows.size() && index >= 0 && index < m_rows[m_pos].size();
    *ok = valid;
    return valid ? m_rows[m_pos][index] : QVariant();
}

ExcelField SqlTableDataSet::FieldFromDeclaration(const QString &name, const QString &declaredType, bool primaryKey)
{
    ExcelField f;
    f.name = name;
    const QString t = declaredType.trimmed().toUpper();
    static const QRegularExpression sizeRx(QStringLiteral("\\(\\s*(\\d+)"));
    const auto m = sizeRx.match(t);
    const int size = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (t.startsWith("INT") && primaryKey) {
        f.type = ExcelFieldType::AutoInc;
        f.displayWidth = 10;
    } else if (t.contains("BIGINT")) {
        f.type = ExcelFieldType::LargeInt;
        f.displayWidth = 15;
    } else if (t.contains("SMALLINT")) {
        f.type = ExcelFieldType::SmallInt;
        f.displayWidth = 6;
    } else if (t.contains("INT")) {
        f.type = ExcelFieldType::Integer;
        f.displayWidth = 11;
    } else if (t.startsWith("BOOL") || t == "BIT") {
        f.type = ExcelFieldType::Boolean;
        f.displayWidth = 5;
    } else if (t.contains("DATETIME") || t.contains("TIMESTAMP")) {
        f.type = ExcelFieldType::DateTime;
        f.displayWidth = 18;
    } else if (t.startsWith("DATE")) {
        f.type = ExcelFieldType::Date;
        f.displayWidth = 10;
    } else if (t.startsWith("TIME")) {
        f.type = ExcelFieldType::Time;
        f.displayWidth = 10;
    } else if (t.contains("REAL") || t.contains("FLOA") || t.contains("DOUB")) {
        f.type = ExcelFieldType::Float;
        f.displayWidth = 10;
    } else if (t.contains("DECIMAL") || t.contains("NUMERIC")) {
        f.type = ExcelFieldType::BCD;
        f.displayWidth = 10;
    } else if (t.contains("MONEY") || t.contains("CURRENCY")) {
        f.type = ExcelFieldType::Currency;
        f.displayWidth = 10;
    } else if (t.contains("BLOB") || t.contains("BINARY")) {
        f.type = ExcelFieldType::Blob;
        f.displayWidth = 10;
    } else if ((t.contains("CHAR") || t.startsWith("TEXT") || t.startsWith("STRING")) && size > 0) {
        f.type = t.startsWith("NCHAR") || t.startsWith("CHAR") ? ExcelFieldType::FixedText : ExcelFieldType::Text;
        f.displayWidth = size;
    } else if (t.contains("CLOB") || t.contains("MEMO")) {
        f.type = ExcelFieldType::Memo;
        f.displayWidth = 10;
    } else if (t.isEmpty()) {
        // No declaration to look the field up in: plain text, no width extra.
        f.type = ExcelFieldType::Text;
        f.displayWidth = 20;
        f.defined = false;
    } else {
        f.type = ExcelFieldType::Text;
        f.displayWidth = size > 0 ? size : 20;
    }
    return f;
}

SqlTableDataSet::SqlTableDataSet(const QSqlDatabase &db, const QString &table, const QString &orderBy)
    : m_db(db), m_table(table), m_orderBy(orderBy)
{
    QSqlQuery info(m_db);
    if (info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(m_table))) {
        while (info.next())
            m_fields.append(FieldFromDeclaration(info.value(1).toString(), info.value(2).toString(),
                                                 info.value(5).toInt() > 0));
    }
}

SqlTableDataSet::SqlTableDataSet(const QSqlDatabase &db, const QString &table, const QString &orderBy,
                                 QList<ExcelField> fields)
    : m_db(db), m_table(table), m_orderBy(orderBy), m_fields(std::move(fields))
{
}

int SqlTableDataSet::recordCount()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(m_table)) || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool SqlTableDataSet::first()
{
    m_query = std::make_unique<QSqlQuery>(m_db);
    m_query->setForwardOnly(true);
    QStringList columns;
    for (const ExcelField &f : m_fields)
        columns.append(QLatin1Char('"') + f.name + QLatin1Char('"'));
    QString sql = QStringLiteral("SELECT %1 FROM \"%2\"").arg(columns.join(QLatin1Char(',')), m_table);
    if (!m_orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + m_orderBy;
    if (!m_query->exec(sql))
        return false;
    return m_query->next();
}

bool SqlTableDataSet::next() { return m_query && m_query->next(); }

QVariant SqlTableDataSet::value(int index, bool *ok)
{
    *ok = m_query && m_query->isValid() && index >= 0 && index < m_query->record().count();
    return *ok ? m_query->value(index) : QVariant();
}

TDataSetToExcel::TDataSetToExcel(ExcelDataSet &table, const QString &fileName)
    : m_table(table), m_fileName(XlsFileName(fileName))
{
}

QString TDataSetToExcel::XlsFileName(const QString &chosen)
{
    const QFileInfo fi(chosen);
    const QString name = fi.fileName();
    const int dot = name.lastIndexOf('.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString dir = chosen.left(chosen.size() - name.size());
    return dir + base + QStringLiteral(".xls");
}

double TDataSetToExcel::DateSerial(const QDate &value)
{
    return double(QDate(1899, 12, 30).daysTo(value));
}

double TDataSetToExcel::TimeSerial(const QTime &value)
{
    return value.msecsSinceStartOfDay() / 86400000.0;
}

double TDataSetToExcel::DateTimeSerial(const QDateTime &value)
{
    return DateSerial(value.date()) + TimeSerial(value.time());
}

int TDataSetToExcel::ColumnWidth(const ExcelField &field)
{
    int w = (field.displayWidth + 1) * 60;
    if (field.defined) {
        switch (field.type) {
        case ExcelFieldType::DateTime: w += 6000; break;
        case ExcelFieldType::Date: w += 1050; break;
        case ExcelFieldType::Time: w += 100; break;
        case ExcelFieldType::AutoInc: w += 1000; break;
        default: break;
        }
    }
    return qBound(0, w, 0xFFFF);
}

bool TDataSetToExcel::WriteFile()
{
    m_row = 0;
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    RecordWriter w(file);
    const QList<ExcelField> fields = m_table.fields();
    const int fieldCount = int(fields.size());
    bool ok = true;

    w.begin(RecBof);
    w.put16(0);
    w.put16(16);
    ok = ok && w.end();

    struct Font { quint16 height; quint16 attr; const char *name; };
    for (const Font &f : {Font{200, 0, "Arial"}, Font{200, 1, "Arial"}, Font{220, 0, "Courier New"}}) {
        w.begin(RecFont);
        w.put16(f.height);
        w.put16(f.attr);
        w.putText(QByteArray(f.name));
        ok = ok && w.end();
    }

    for (int i = 0; i < fieldCount && i < 256; ++i) {
        w.begin(RecColWidth);
        w.put8(quint8(i));
        w.put8(quint8(i));
        w.put16(quint16(ColumnWidth(fields[i])));
        ok = ok && w.end();
    }

    for (const char *f : {"General", "0", "###,###,##0.00", "dd-mmm-yyyy hh:mm:ss", "dd-mmm-yyyy", "hh:mm:ss"}) {
        w.begin(RecFormat);
        w.putText(QByteArray(f));
        ok = ok && w.end();
    }

    const int rows = qMin(m_table.recordCount(), MaxDataRows);
    w.begin(RecDimensions);
    w.put16(0);
    w.put16(quint16(qMax(rows, 0)));
    w.put16(0);
    w.put16(quint16(qBound(0, fieldCount - 1, 0xFFFF)));
    ok = ok && w.end();

    for (int c = 0; c < fieldCount; ++c) {
        w.begin(RecLabel);
        w.put16(0);
        w.put16(quint16(c));
        w.put8(0);
        w.put8(64);
        w.put8(248);
        w.putText(cellText(fields[c].name));
        ok = ok && w.end();
    }

    // The count above is only the header's; the walk itself stops at the format's limit.
    for (bool more = ok && m_table.first(); ok && more && m_row < MaxDataRows; more = m_table.next()) {
        ++m_row;
        for (int c = 0; c < fieldCount && ok; ++c) {
            const ExcelField &f = fields[c];
            if (f.type == ExcelFieldType::Memo || f.type == ExcelFieldType::Blob)
                continue;
            bool readOk = false;
            const QVariant v = m_table.value(c, &readOk);
            if (!readOk)
                continue;   // an unreadable cell is left out; the export goes on
            if (isLabel(f.type)) {
                QString text;
                if (f.type == ExcelFieldType::Boolean && !v.isNull())
                    text = v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
                else
                    text = v.toString();
                w.begin(RecLabel);
                w.put16(quint16(m_row));
                w.put16(quint16(c));
                w.put8(0);
                w.put8(0);
                w.put8(0);
                w.putText(cellText(text));
                ok = w.end();
                continue;
            }
            double number = 0;
            // Empty values stay blank rather than becoming 0 or 30-Dec-1899.
            if (v.isNull() || !numberValue(f, v, &number))
                continue;
            w.begin(RecNumber);
            w.put16(quint16(m_row));
            w.put16(quint16(c));
            w.put8(0);
            w.put8(quint8(numberAttribute(f.type)));
            w.put8(0);
            w.putDouble(number);
            ok = w.end();
        }
    }

    w.begin(RecEof);
    ok = ok && w.end() && w.flush();
    if (!file.flush())
        ok = false;
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

QList<ExcelField> LogFields()
{
    // EventTime is stored as ISO text; it is exported as a date-time cell.
    return {
        {QStringLiteral("Event_ID"), ExcelFieldType::AutoInc, 10, true},
        {QStringLiteral("EventTime"), ExcelFieldType::DateTime, 18, true},
        {QStringLiteral("User"), ExcelFieldType::Text, 30, true},
        {QStringLiteral("Event"), ExcelFieldType::Text, 200, true},
        {QStringLiteral("EventDescription"), ExcelFieldType::Text, 255, true},
    };
}

namespace {
QString limitQuestion()
{
    const QString limit = QString::number(TDataSetToExcel::MaxDataRows);
    return QStringLiteral("You have more than ") + limit + QStringLiteral(" log entires. Only the first ") + limit
        + QStringLiteral(" will be exported. Do you wish to continue?");
}
} // namespace

ExportOutcome ExportLogsToFile(const QSqlDatabase &userDatabase, const QString &fileName, QString *writtenName)
{
    ProgressScope progress(QString(), false);
    SqlTableDataSet table(userDatabase, QStringLiteral("tblLog"), QStringLiteral("Event_ID"), LogFields());
    TDataSetToExcel exporter(table, fileName);
    if (writtenName)
        *writtenName = exporter.fileName();
    if (!exporter.WriteFile()) {
        ShowTimedError(QStringLiteral("Could not Export Log."), -5000);
        return ExportOutcome::Failed;
    }
    return ExportOutcome::Exported;
}

ExportOutcome ExportLogsToExcel(const QSqlDatabase &userDatabase, const QString &startFolder)
{
    SqlTableDataSet table(userDatabase, QStringLiteral("tblLog"), QStringLiteral("Event_ID"), LogFields());
    if (table.recordCount() > TDataSetToExcel::MaxDataRows
        && AskQuestion(QStringLiteral("Export To Excel"), limitQuestion(), MessageKind::YesNo))
        return ExportOutcome::Declined;
    FileDialogRequest request;
    request.title = QStringLiteral("Save Event Logs to Excel File");
    request.folder = startFolder;
    request.filter = QStringLiteral("Kovra Log Excel File (*.xls)");
    request.defaultSuffix = QStringLiteral("xls");
    request.confirmOverwrite = true;
    const QString chosen = SaveFileName(request);
    if (chosen.isEmpty())
        return ExportOutcome::Cancelled;
    return ExportLogsToFile(userDatabase, chosen);
}

} // namespace kovra
