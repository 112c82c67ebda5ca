#include "ExchangeFiles.h"

#include "KovraHome.h"
#include "LineFile.h"
#include "MessageDialogs.h"
#include "OptionCatalogue.h"
#include "Schema.h"
#include "TdmdMain.h"

#include <QFile>
#include <QHash>
#include <QSqlQuery>
#include <QtMath>

#include <limits>

namespace kovra {

namespace {

const QString kNotAccountFile = QStringLiteral("This is not a valid Kovra Account file.");
const QString kNotTemplateFile = QStringLiteral("This is not a valid Kovra Template file.");
const QString kNotTableFile = QStringLiteral("This is not a valid Kovra Table file.");
const QString kAccountIpLine = QStringLiteral("950");
const QString kAccountIpName = QStringLiteral("Account_IP_Address");
const QString kNewMac = QStringLiteral("02C0DE000000");
const int kValueWidth = 64;   // KovraOptionValue, OptionDefault

bool isLatin1(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

bool isHexDigits(const QString &text, int count)
{
    if (text.size() != count)
        return false;
    for (QChar c : text) {
        const char a = c.unicode() < 0x80 ? char(c.unicode()) : '\0';
        if (!((a >= '0' && a <= '9') || (a >= 'A' && a <= 'F') || (a >= 'a' && a <= 'f')))
            return false;
    }
    return true;
}

bool isDecimalDigits(const QString &text, int count)
{
    if (text.size() != count)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString hex3(int n)
{
    return QStringLiteral("%1").arg(n, 3, 16, QLatin1Char('0')).toUpper();
}

// Replaces the file with the lines. An old file that cannot be removed, lines
// that cannot be carried or a failed write give false and leave no half file.
// The file is short and written in one call, so no temporary copy is kept.
bool writeLineFile(const QString &fileName, const QStringList &lines)
{
    const std::optional<QByteArray> bytes = EncodeLineFile(lines);
    if (!bytes)
        return false;
    if (QFile::exists(fileName) && !QFile::remove(fileName))
        return false;
    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const bool written = out.write(*bytes) == bytes->size() && out.flush();
    out.close();
    if (!written || out.error() != QFileDevice::NoError) {
        out.remove();   // no half file for the next reader
        return false;
    }
    return true;
}

// The lines of a file, or nothing after the error of its kind has been shown.
std::optional<QStringList> readLineFile(const QString &fileName, const QString &notValid)
{
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly)) {
        ShowError(QStringLiteral("Cannot open the file \"%1\": %2").arg(fileName, in.errorString()));
        return std::nullopt;
    }
    const std::optional<QStringList> lines = DecodeLineFile(in.readAll());
    if (!lines)
        ShowError(notValid);
    return lines;
}

struct AccountLine {
    QString number;   // upper case
    QString value;
};

// What the import needs from an account file, checked before anything is changed.
struct AccountFile {
    QList<AccountLine> options;   // every line but the 950 line, in file order
    QHash<QString, QString> values;
    QString version;              // four (or more) upper-case hex digits
    QString generation;           // first three characters of version
    bool hasIpLine = false;
    QString ipLineValue;
    bool hasMacLine = false;

    QString value(const char *number) const { return values.value(QLatin1String(number)); }
};

// Structure of the file: every line "number*name*value", option numbers of three
// hex digits without repeats, a readable version line. Empty on failure.
std::optional<AccountFile> parseAccountFile(const QStringList &lines)
{
    AccountFile file;
    QString versionText;
    bool hasVersion = false;
    for (const QString &line : lines) {
        QStringList f;
        if (!SplitExchangeLine(line, 2, &f))
            return std::nullopt;
        const QString number = f[0].toUpper();
        if (number == kAccountIpLine) {
            file.hasIpLine = true;
            file.ipLineValue = f[2];
            continue;
        }
        if (!isHexDigits(number, 3) || file.values.contains(number) || f[2].size() > kValueWidth)
            return std::nullopt;
        // Account numbers are kept in upper case, so the row and option 003 stay equal.
        if (number == QLatin1String("003"))
            f[2] = f[2].toUpper();
        file.options << AccountLine{number, f[2]};
        file.values.insert(number, f[2]);
        if (number == QLatin1String("326")) {
            hasVersion = true;
            versionText = f[2];
        }
        if (number == QLatin1String("325"))
            file.hasMacLine = true;
    }
    if (!hasVersion)
        return std::nullopt;
    bool ok = false;
    const uint version = versionText.trimmed().toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    file.version = QStringLiteral("%1").arg(version, 4, 16, QLatin1Char('0')).toUpper();
    file.generation = file.version.left(3);
    return file;
}

// The values taken by position (line n holds option n) and the widths of the
// account row: a file that breaks them cannot be imported faithfully.
bool accountFieldsUsable(const AccountFile &file, const QStringList &lines)
{
    static const int positional[] = {0x001, 0x003, 0x004, 0x005, 0x007, 0x008, 0x00B, 0x00C, 0x00F, 0x010};
    for (int n : positional) {
        if (n > lines.size())
            return false;
        QStringList f;
        if (!SplitExchangeLine(lines[n - 1], 2, &f) || f[0].toUpper() != hex3(n))
            return false;
    }
    if (!isHexDigits(file.value("003"), 10))
        return false;
    const QString ip = file.hasIpLine ? file.ipLineValue : file.value("001");
    if (ip.size() > 15 || (file.value("004") + file.value("005")).size() > 32)
        return false;
    for (const char *r : {"007", "00B", "00F"})
        if (file.value(r).size() > 15)
            return false;
    for (const char *g : {"008", "00C", "010"})
        if (file.value(g).size() > 50)
            return false;
    return file.value("325").size() <= 12;
}

QString receiverPort(QSqlDatabase db, const QString &address)
{
    QSqlQuery q = RunSql(db,
                         QStringLiteral("SELECT ReceiverPort FROM tblReceiver WHERE ReceiverIP = ? COLLATE NOCASE "
                                        "ORDER BY Receiver_ID"),
                         {Text(address)});
    if (q.next() && !q.value(0).isNull())
        return QString::number(q.value(0).toInt());
    return QStringLiteral("3064");
}

// The account-row columns an import sets, in the order of kAccountColumns.
QVariantList accountColumnValues(QSqlDatabase db, const AccountFile &file, const QString &mac)
{
    QVariantList v;
    v << Text(file.hasIpLine ? file.ipLineValue : file.value("001"))
      << Text(file.value("004") + file.value("005")) << Text(mac);
    for (const char *r : {"007", "00B", "00F"})
        v << Text(file.value(r));
    for (const char *g : {"008", "00C", "010"})
        v << Text(file.value(g));
    for (const char *r : {"007", "00B", "00F"})
        v << Text(receiverPort(db, file.value(r)));
    return v;
}

const QStringList kAccountColumns = {
    QStringLiteral("KovraIP"),          QStringLiteral("KovraKey"),         QStringLiteral("KovraMAC"),
    QStringLiteral("Receiver1"),        QStringLiteral("Receiver2"),        QStringLiteral("Receiver3"),
    QStringLiteral("Receiver1Gateway"), QStringLiteral("Receiver2Gateway"), QStringLiteral("Receiver3Gateway"),
    QStringLiteral("Receiver1Port"),    QStringLiteral("Receiver2Port"),    QStringLiteral("Receiver3Port"),
};

// "000" counts as the first generation's version.
QString comparableVersion(const QString &version)
{
    const QString v = version.toUpper();
    return v.left(3) == QLatin1String("000") ? QStringLiteral("0100") : v;
}

template <typename T>
T readNumber(const QString &word)
{
    bool ok = false;
    const qlonglong v = word.toLongLong(&ok, 10);
    if (!ok || v < qlonglong(std::numeric_limits<T>::min()) || v > qlonglong(std::numeric_limits<T>::max()))
        return T(0);
    return T(v);
}

} // namespace

QString DefaultExportFileName(const QString &accountNumber, const QDate &date)
{
    return HomePath(QStringLiteral("Export/KovraAccount_") + accountNumber + QStringLiteral("__")
                    + date.toString(QStringLiteral("yyMMdd")) + QStringLiteral(".kva"));
}

bool SplitExchangeLine(const QString &line, int leadingWords, QStringList *fields)
{
    QStringList out;
    int p = 0;
    const int len = int(line.size());
    for (int k = 0; k < leadingWords; ++k) {
        while (p < len && line[p] == QLatin1Char('*'))
            ++p;
        if (p >= len)
            return false;
        const int start = p;
        while (p < len && line[p] != QLatin1Char('*'))
            ++p;
        out << line.mid(start, p - start);
    }
    // Exactly one separator ends the leading words: whatever follows is the value.
    if (p < len)
        ++p;
    out << line.mid(p);
    if (fields)
        *fields = out;
    return true;
}

bool ExportAccount(TdmdMain &dm, const QString &fileName, int kovraId)
{
    QSqlDatabase db = dm.accountDatabase();
    QSqlQuery q = RunSql(db,
                         QStringLiteral("SELECT OptionNumber, KovraOptionValue FROM tblKovraOptions "
                                        "WHERE Kovra_ID = ? ORDER BY KovraOption_ID"),
                         {kovraId});
    QStringList lines;
    while (q.next()) {
        const QString number = q.value(0).toString();
        const QString value = q.value(1).toString();
        const CatalogueEntry *e = FindCatalogueEntry(number);
        const QString name = e ? e->OptionName : number;
        if (!isLatin1(value)) {
            ShowError(QStringLiteral("Option %1 (%2) holds a character that cannot be written to a Kovra "
                                     "Account file.")
                          .arg(number, name));
            return false;
        }
        lines << number + QLatin1Char('*') + name + QLatin1Char('*') + value;
    }
    if (lines.isEmpty())
        return false;
    QSqlQuery a = RunSql(db, QStringLiteral("SELECT KovraIP FROM tblKovra WHERE Kovra_ID = ?"), {kovraId});
    const QString ip = a.next() ? a.value(0).toString() : QString();
    if (!isLatin1(ip))
        return false;
    lines << kAccountIpLine + QLatin1Char('*') + kAccountIpName + QLatin1Char('*') + ip;
    return writeLineFile(fileName, lines);
}

bool ImportAccount(TdmdMain &dm, const QString &fileName, int *kovraId)
{
    const std::optional<QStringList> lines = readLineFile(fileName, kNotAccountFile);
    if (!lines)
        return false;
    const std::optional<AccountFile> parsed = parseAccountFile(*lines);
    if (!parsed) {
        ShowError(kNotAccountFile);
        return false;
    }
    const AccountFile &file = *parsed;
    if (file.generation.toInt(nullptr, 16) > 0x014) {
        ShowTimedError(QStringLiteral("Incorrect Kovra Version in Import File."), -5000);
        return false;
    }
    if (!accountFieldsUsable(file, *lines)) {
        ShowError(kNotAccountFile);
        return false;
    }

    QSqlDatabase db = dm.accountDatabase();
    const QString number = file.value("003");
    if (dm.AccountExists(number)) {
        if (AskQuestion(QStringLiteral("Confirmation"),
                        QStringLiteral("Account ") + number
                            + QStringLiteral(" that you are about to import already exists. ")
                            + QStringLiteral("All data in the existing Account will be replaced. ")
                            + QStringLiteral("Do you want to proceed?"),
                        MessageKind::YesNo))
            return false;
        int id = dm.FindAccountId(number).toInt();
        const QString accountVersion = comparableVersion(dm.GetAccountVersion(id));
        const QString fileVersion = comparableVersion(file.version);
        bool upgrade = false;
        if (accountVersion != fileVersion) {
            const int accountGeneration = accountVersion.left(3).toInt(nullptr, 16);
            const int fileGeneration = fileVersion.left(3).toInt(nullptr, 16);
            if (accountGeneration >= fileGeneration) {
                ShowTimedError(QStringLiteral("Cannot downgrade account. You must delete the duplicate account "
                                              "and import again."),
                               -5000);
                return false;
            }
            if (AskQuestion(QStringLiteral("Account Upgrade Required"),
                            QStringLiteral("Import file contains a newer version of Kovra account data, do you "
                                           "wish to upgrade this account?"),
                            MessageKind::YesNo))
                return false;
            upgrade = true;
        }

        Transaction t(db);
        if (upgrade) {
            int newId = 0;
            if (!dm.UpgradeAccount(id, accountVersion.left(3), &newId, fileVersion.left(3)))
                return false;   // reported by the upgrade; the transaction rolls back
            id = dm.FindAccountId(number).toInt();
        }
        QSqlQuery mac = RunSql(db, QStringLiteral("SELECT KovraMAC FROM tblKovra WHERE Kovra_ID = ?"), {id});
        const QString keptMac = mac.next() ? mac.value(0).toString() : kNewMac;
        mac.finish();
        QStringList sets;
        for (const QString &c : kAccountColumns)
            sets << c + QStringLiteral(" = ?");
        QVariantList values = accountColumnValues(db, file, file.hasMacLine ? file.value("325") : keptMac);
        values << id;
        RunSql(db, QStringLiteral("UPDATE tblKovra SET %1 WHERE Kovra_ID = ?").arg(sets.join(QStringLiteral(", "))),
               values);
        // SetOptionValue's statement, prepared once, with one change notice for
        // the whole account instead of one per option. Options the account does
        // not have match no row and change nothing.
        QSqlQuery set(db);
        if (!set.prepare(QStringLiteral("UPDATE tblKovraOptions SET KovraOptionValue = ? "
                                        "WHERE Kovra_ID = ? AND OptionNumber = ?")))
            throw DatabaseError(QStringLiteral("Cannot prepare the option update."));
        for (const AccountLine &l : file.options) {
            set.bindValue(0, Text(l.value));
            set.bindValue(1, id);
            set.bindValue(2, l.number);
            if (!set.exec())
                throw DatabaseError(QStringLiteral("Cannot set option %1 of account %2.").arg(l.number, number));
        }
        t.commit();
        if (kovraId)
            *kovraId = id;
        emit dm.accountsChanged();
        return true;
    }

    Transaction t(db);
    QStringList marks;
    for (int i = 0; i <= kAccountColumns.size(); ++i)
        marks << QStringLiteral("?");
    QVariantList values;
    values << Text(number);
    values << accountColumnValues(db, file, file.hasMacLine ? file.value("325") : kNewMac);
    const int id = RunSql(db,
                          QStringLiteral("INSERT INTO tblKovra (KovraAccount, %1) VALUES (%2)")
                              .arg(kAccountColumns.join(QStringLiteral(", ")), marks.join(QLatin1Char(','))),
                          values)
                       .lastInsertId()
                       .toInt();
    QSqlQuery ins(db);
    if (!ins.prepare(QStringLiteral("INSERT INTO tblKovraOptions (Kovra_ID, OptionNumber, KovraOptionOldValue, "
                                    "KovraOptionValue, KovraOptionTempValue) VALUES (?, ?, '', ?, '')")))
        throw DatabaseError(QStringLiteral("Cannot prepare the option insert."));
    for (const AccountLine &l : file.options) {
        ins.bindValue(0, id);
        ins.bindValue(1, l.number);
        ins.bindValue(2, Text(l.value));
        if (!ins.exec())
            throw DatabaseError(QStringLiteral("Cannot add option %1 of account %2.").arg(l.number, number));
    }
    t.commit();
    dm.WriteLogEvent(109, number);
    if (kovraId)
        *kovraId = id;
    emit dm.accountsChanged();
    return true;
}

bool SaveTemplateFile(TdmdMain &dm, const QString &fileName)
{
    QSqlQuery q = RunSql(dm.accountDatabase(),
                         QStringLiteral("SELECT OptionNumber, OptionDefault FROM tblTemplate ORDER BY rowid"));
    QStringList lines;
    while (q.next())
        lines << q.value(0).toString() + QLatin1Char('*') + q.value(1).toString();
    return writeLineFile(fileName, lines);
}

QList<OptionValue> AccountOptionValues(TdmdMain &dm, int kovraId)
{
    QSqlQuery q = RunSql(dm.accountDatabase(),
                         QStringLiteral("SELECT OptionNumber, KovraOptionValue FROM tblKovraOptions "
                                        "WHERE Kovra_ID = ? ORDER BY KovraOption_ID"),
                         {kovraId});
    QList<OptionValue> out;
    while (q.next())
        out << OptionValue{q.value(0).toString(), q.value(1).toString()};
    return out;
}

bool SaveOptionsAsTemplate(const QString &fileName, const QList<OptionValue> &options)
{
    ProgressScope progress(QStringLiteral("Exporting Template. Please wait..."), false);
    QStringList lines;
    const int n = int(options.size());
    for (int i = 0; i < n; ++i) {
        lines << DisplayNumber(options[i].OptionNumber) + QLatin1Char('*') + options[i].KovraOptionValue;
        progress.setPercent(qRound(100.0 * (i + 1) / n));
    }
    return writeLineFile(fileName, lines);
}

int LoadTemplateFile(TdmdMain &dm, const QString &fileName)
{
    const std::optional<QStringList> lines = readLineFile(fileName, kNotTemplateFile);
    if (!lines)
        return TemplateNotValid;
    QList<QStringList> fields;
    for (const QString &line : *lines) {
        QStringList f;
        // Template lines start with a display number; anything else is another kind of file.
        if (!SplitExchangeLine(line, 1, &f) || !isDecimalDigits(f[0], 3) || f[1].size() > kValueWidth) {
            ShowError(kNotTemplateFile);
            return TemplateNotValid;
        }
        fields << f;
    }

    QSqlDatabase db = dm.accountDatabase();
    const QString generation = dm.templateGeneration();
    Transaction t(db);
    dm.LoadTemplateCatalogue(generation);
    QList<qlonglong> rows;
    QSqlQuery r = RunSql(db, QStringLiteral("SELECT rowid FROM tblTemplate ORDER BY rowid"));
    while (r.next())
        rows << r.value(0).toLongLong();
    r.finish();
    int result = TemplateLoaded;
    for (int i = 0; i < fields.size() && i < rows.size(); ++i) {
        const QString fileGeneration = fields[i][1].left(3);
        if (fields[i][0] == QLatin1String("806") && fileGeneration != generation
            && !(generation == QLatin1String("010") && fileGeneration == QLatin1String("000"))) {
            result = TemplateOtherGeneration;
            break;
        }
        RunSql(db, QStringLiteral("UPDATE tblTemplate SET OptionDefault = ? WHERE rowid = ?"),
               {Text(fields[i][1]), rows[i]});
    }
    t.commit();
    return result;
}

QString ReceiverTableLine(const ReceiverTableEntry &e)
{
    auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringList{QString::number(e.Connect),  QString::number(e.Count),    flag(e.Full),
                       QString::number(e.LastResponse), flag(e.Local),        QString::number(e.Port),
                       flag(e.Present),             QString::number(e.Sequence), QString::number(e.Software),
                       QString::number(e.Supervised), QString::number(e.Test), QString::number(e.TimeStamp),
                       QString::number(e.Kovra_ID), e.KovraAccount,           e.KovraIP,
                       e.KovraKey,                  e.KovraMAC}
        .join(QLatin1Char('*'));
}

namespace {
constexpr int kTableFields = 17;

// Split at every "*" so that empty text fields keep their places; a line of
// another shape is read by the word rule.
QStringList tableFields(const QString &line)
{
    QStringList f = line.split(QLatin1Char('*'));
    if (f.size() == kTableFields + 1 && f.last().isEmpty())
        f.removeLast();
    if (f.size() != kTableFields)
        f = SplitWords(line);
    return f;
}
} // namespace

ReceiverTableEntry ReceiverTableEntryFromLine(const QString &line)
{
    const QStringList f = tableFields(line);
    ReceiverTableEntry e;
    e.Connect = readNumber<qint64>(f.value(0));
    e.Count = readNumber<qint64>(f.value(1));
    e.Full = f.value(2) == QLatin1String("1");
    e.LastResponse = readNumber<qint16>(f.value(3));
    e.Local = f.value(4) == QLatin1String("1");
    e.Port = readNumber<quint16>(f.value(5));
    e.Present = f.value(6) == QLatin1String("1");
    e.Sequence = readNumber<qint64>(f.value(7));
    e.Software = readNumber<quint16>(f.value(8));
    e.Supervised = readNumber<qint64>(f.value(9));
    e.Test = readNumber<quint16>(f.value(10));
    e.TimeStamp = readNumber<qint64>(f.value(11));
    e.Kovra_ID = readNumber<int>(f.value(12));
    e.KovraAccount = f.value(13);
    e.KovraIP = f.value(14);
    e.KovraKey = f.value(15);
    e.KovraMAC = f.value(16);
    return e;
}

bool SaveReceiverTableFile(const QString &fileName, const QList<ReceiverTableEntry> &entries)
{
    if (entries.isEmpty())
        return false;
    QStringList lines;
    for (int i = 0; i < entries.size(); ++i) {
        const ReceiverTableEntry &e = entries[i];
        for (const QString *text : {&e.KovraAccount, &e.KovraIP, &e.KovraKey, &e.KovraMAC}) {
            if (text->contains(QLatin1Char('*')) || !isLatin1(*text)) {
                ShowError(QStringLiteral("Entry %1 (%2) holds a character that cannot be written to a Kovra "
                                         "Table file.")
                              .arg(i + 1)
                              .arg(e.KovraAccount));
                return false;
            }
        }
        lines << ReceiverTableLine(e);
    }
    return writeLineFile(fileName, lines);
}

bool LoadReceiverTableFile(const QString &fileName, QList<ReceiverTableEntry> &entries)
{
    const std::optional<QStringList> lines = readLineFile(fileName, kNotTableFile);
    if (!lines)
        return false;
    QList<ReceiverTableEntry> read;
    for (const QString &line : *lines) {
        if (tableFields(line).size() != kTableFields) {
            ShowError(kNotTableFile);
            return false;
        }
        read << ReceiverTableEntryFromLine(line);
    }
    entries << read;
    return true;
}

} // namespace kovra
