#pragma once
// Account files (.kva), template files (.tpl) and receiver table files (.tbl),
// all in the line-file format. Writers return success; readers report their own
// failures through the dialog seam and leave the database as it was.
//
// Values that hold "*" or are empty. The plain word rule (runs of "*" are one
// separator) cannot carry them, so the last field of an account or template
// line is read as the whole rest of the line after the separator that ends the
// field before it: "020*SMTPPassword*a*b" carries "a*b", "01A*EMail1*" carries
// the empty text, and blanks are kept. For every value without "*" that is not
// empty this reads exactly what the word rule reads, so files of other consoles
// import unchanged. Receiver table lines always have 17 fields joined by single
// "*", so they are split at every "*" and an empty key or MAC keeps its place.
// A value that a file line cannot carry at all (a character outside Latin-1)
// makes the export fail with a message naming the option.
#include "ReceiverTableEntry.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace kovra {

class TdmdMain;

// One option value of an account's option list, in list order.
struct OptionValue {
    QString OptionNumber;       // "001" .. "385"
    QString KovraOptionValue;
};

// "KovraAccount_" + number + "__" + YYMMDD + ".kva" in Export/ of the installation folder.
QString DefaultExportFileName(const QString &accountNumber, const QDate &date = QDate::currentDate());

// The fields of an account or template line: the first words by the word rule,
// the last field as the rest of the line (see above). False when the line has
// fewer leading words than asked for.
bool SplitExchangeLine(const QString &line, int leadingWords, QStringList *fields);

// Writes the account with this Kovra_ID. False, writing nothing, when the
// account has no option rows, an old file cannot be deleted, a value cannot be
// carried (message shown) or the file cannot be written.
bool ExportAccount(TdmdMain &dm, const QString &fileName, int kovraId);

// Imports an account file with its questions, messages and audit event. The
// whole change is one transaction. On success *kovraId (when given) is the
// account's id after the import.
bool ImportAccount(TdmdMain &dm, const QString &fileName, int *kovraId = nullptr);

// Writes tblTemplate in table order.
bool SaveTemplateFile(TdmdMain &dm, const QString &fileName);
// Writes an account's option list as a template file, showing its progress.
bool SaveOptionsAsTemplate(const QString &fileName, const QList<OptionValue> &options);
// The option list of an account in row order, for SaveOptionsAsTemplate.
QList<OptionValue> AccountOptionValues(TdmdMain &dm, int kovraId);

enum TemplateLoadResult { TemplateNotValid = 0, TemplateLoaded = 1, TemplateOtherGeneration = 2 };
// Reads a template file into tblTemplate for dm.templateGeneration().
int LoadTemplateFile(TdmdMain &dm, const QString &fileName);

// False, writing nothing, for an empty table.
bool SaveReceiverTableFile(const QString &fileName, const QList<ReceiverTableEntry> &entries);
// Appends the file's entries; on failure (message shown) appends nothing.
bool LoadReceiverTableFile(const QString &fileName, QList<ReceiverTableEntry> &entries);

// The line of one entry and back (used by the two functions above).
QString ReceiverTableLine(const ReceiverTableEntry &entry);
ReceiverTableEntry ReceiverTableEntryFromLine(const QString &line);

} // namespace kovra
