#pragma once
// Writes a table as an Excel 2.1 (BIFF2) worksheet, record by record, in one
// pass over the rows. No office software involved: any spreadsheet program reads it.
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

namespace kovra {

// Field kinds as the table layer reports them; they decide the cell record.
enum class ExcelFieldType {
    Text, Boolean, FixedText, WideText,                 // LABEL
    SmallInt, Integer, Word, AutoInc, LargeInt,         // NUMBER, format "0"
    Float, Currency, BCD,                               // NUMBER, format "###,###,##0.00"
    DateTime, Date, Time,                               // NUMBER as a date serial
    Memo, Blob,                                         // no cell
};

struct ExcelField {
    QString name;
    ExcelFieldType type = ExcelFieldType::Text;
    int displayWidth = 10;
    bool defined = true;   // false: the definition could not be looked up (no width extra)
};

// The table the exporter walks. first()/next() move the current row.
class ExcelDataSet {
public:
    virtual ~ExcelDataSet() = default;
    virtual QList<ExcelField> fields() const = 0;
    virtual int recordCount() = 0;
    virtual bool first() = 0;   // false when the table is empty
    virtual bool next() = 0;    // false past the last row
    // Current row's value of field `index`; *ok = false when it cannot be read.
    virtual QVariant value(int index, bool *ok) = 0;
};

// Rows held in memory (tests, benchmarks, small exports).
class ListDataSet : public ExcelDataSet {
public:
    ListDataSet(QList<ExcelField> fields, QVector<QVariantList> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows)) {}
    QList<ExcelField> fields() const override { return m_fields; }
    int recordCount() override { return int(m_rows.size()); }
    bool first() override { m_pos = 0; return !m_rows.isEmpty(); }
    bool next() override { return ++m_pos < m_rows.size(); }
    QVariant value(int index, bool *ok) override;

private:
    QList<ExcelField> m_fields;
    QVector<QVariantList> m_rows;
    int m_pos = 0;
};

// A live SQLite table read forward-only in key order. Field kinds come from the
// declared column types, so that a date column is exported as a date even though
// SQLite stores it as text.
class SqlTableDataSet : public ExcelDataSet {
public:
    SqlTableDataSet(const QSqlDatabase &db, const QString &table, const QString &orderBy = QString());
    // With the field kinds given (columns in table order), for tables whose
    // declarations say less than the data means.
    SqlTableDataSet(const QSqlDatabase &db, const QString &table, const QString &orderBy,
                    QList<ExcelField> fields);
    QList<ExcelField> fields() const override { return m_fields; }
    int recordCount() override;
    bool first() override;
    bool next() override;
    QVariant value(int index, bool *ok) override;

    static ExcelField FieldFromDeclaration(const QString &name, const QString &declaredType, bool primaryKey);

private:
    QSqlDatabase m_db;
    QString m_table;
    QString m_orderBy;
    QList<ExcelField> m_fields;
    std::unique_ptr<QSqlQuery> m_query;
};

class TDataSetToExcel {
public:
    static constexpr int MaxDataRows = 65535;

    // fileName: the chosen name; it is written with the extension ".xls".
    TDataSetToExcel(ExcelDataSet &table, const QString &fileName);

    // Writes the whole file; false when creating, writing or closing it failed.
    bool WriteFile();

    QString fileName() const { return m_fileName; }
    int rowsWritten() const { return m_row; }

    static QString XlsFileName(const QString &chosen);
    // Days since 30 December 1899, the time of day as the fraction.
    static double DateTimeSerial(const QDateTime &value);
    static double DateSerial(const QDate &value);
    static double TimeSerial(const QTime &value);
    static int ColumnWidth(const ExcelField &field);

private:
    ExcelDataSet &m_table;
    QString m_fileName;
    int m_row = 0;
};

// The columns of tblLog as the export writes them.
QList<ExcelField> LogFields();

// Outcome of the log export command.
enum class ExportOutcome { Exported, Declined, Cancelled, Failed };

// The log export command of the log page: the row-limit question, the save
// dialog, the progress window, the file and its failure notice.
ExportOutcome ExportLogsToExcel(const QSqlDatabase &userDatabase, const QString &startFolder);
// The same without the save dialog (kovra-cli names the file itself).
ExportOutcome ExportLogsToFile(const QSqlDatabase &userDatabase, const QString &fileName,
                               QString *writtenName = nullptr);

} // namespace kovra
