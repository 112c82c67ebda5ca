#include "TdmdMain.h"

#include "MessageDialogs.h"
#include "OptionCatalogue.h"

#include <QHash>
#include <QSqlError>
#include <QSqlRecord>

namespace kovra {

namespace {

const QString kNewMac = QStringLiteral("02C0DE000000");

QString catalogueDefault(const QList<CatalogueEntry> &entries, const char *number)
{
    for (const CatalogueEntry &e : entries)
        if (e.OptionNumber.compare(QLatin1String(number), Qt::CaseInsensitive) == 0)
            return e.OptionDefault;
    return QString();
}

// The account-value override of one option of a new account, if any.
bool accountValueFor(const AccountValues &v, const QString &number, QString *value)
{
    static const QHash<QString, int> overrides = {
        {"001", 0}, {"003", 1}, {"004", 2}, {"005", 3}, {"006", 4}, {"007", 5}, {"00B", 6}, {"00F", 7},
        {"008", 8}, {"00C", 9}, {"010", 10}, {"00A", 11}, {"013", 12},
    };
    const auto it = overrides.constFind(number.toUpper());
    if (it == overrides.constEnd())
        return false;
    switch (*it) {
    case 0: *value = v.moduleAddress; break;
    case 1: *value = v.accountNumber; break;
    case 2: *value = v.key.mid(0, 16); break;
    case 3: *value = v.key.mid(16, 16); break;
    case 4: *value = v.installerCode; break;
    case 5: case 6: case 7: *value = v.receiver[*it - 5]; break;
    case 8: case 9: case 10: *value = v.gateway[*it - 8]; break;
    case 11: *value = v.remotePort; break;
    case 12: *value = v.consolePort; break;
    }
    return true;
}

// Option rows of one account in a single statement: one engine round trip
// instead of one per option.
void insertOptionRows(QSqlDatabase db, int accountId, const QList<QPair<QString, QString>> &rows)
{
    if (rows.isEmpty())
        return;
    QString sql = QStringLiteral("INSERT INTO tblKovraOptions (Kovra_ID, OptionNumber, KovraOptionOldValue, "
                                 "KovraOptionValue, KovraOptionTempValue) VALUES ");
    for (int i = 0; i < rows.size(); ++i)
        sql += i ? QStringLiteral(",(?,?,'',?,'')") : QStringLiteral("(?,?,'',?,'')");
    QVariantList values;
    values.reserve(rows.size() * 3);
    for (const auto &r : rows)
        values << accountId << r.first << Text(r.second);
    RunSql(db, sql, values);
}

QSqlQuery prepared(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DatabaseError(q.lastError().text());
    return q;
}

void run(QSqlQuery &q, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        throw DatabaseError(q.lastError().text());
}

} // namespace

AccountValues DefaultAccountValues(const QString &accountNumber, const QString &generationCode)
{
    Generation g = Generation::V14;
    GenerationFromCode(generationCode, &g);
    const QList<CatalogueEntry> &c = CatalogueEntries(g);
    AccountValues v;
    v.accountNumber = accountNumber;
    v.key = catalogueDefault(c, "004") + catalogueDefault(c, "005");
    v.moduleAddress = catalogueDefault(c, "001");
    const char *receivers[] = {"007", "00B", "00F"};
    const char *gateways[] = {"008", "00C", "010"};
    for (int i = 0; i < 3; ++i) {
        v.receiver[i] = catalogueDefault(c, receivers[i]);
        v.gateway[i] = catalogueDefault(c, gateways[i]);
        v.receiverPort[i] = QStringLiteral("3064");
    }
    v.installerCode = catalogueDefault(c, "006");
    v.remotePort = catalogueDefault(c, "00A");
    v.consolePort = catalogueDefault(c, "013");
    v.generationCode = generationCode;
    return v;
}

bool IsAccountCodeValid(const QString &accountNumber, const QString &versionText)
{
    static const QStringList codes = {"010", "011", "012", "013", "014"};
    if (!codes.contains(versionText.left(3)))
        return false;
    if (accountNumber == QLatin1String("0000000000"))
        return false;
    // Account numbers are upper-case hex; the lower-case form is the same account.
    if (accountNumber.mid(4).compare(QLatin1String("FFFFFF"), Qt::CaseInsensitive) == 0)
        return false;
    return true;
}

QString PadNumber(int number, int width) { return QString::number(number).rightJustified(width, QLatin1Char('0')); }

bool TdmdMain::AccountExists(const QString &accountNumber)
{
    return RunSql(m_account, QStringLiteral("SELECT * FROM tblKovra WHERE KovraAccount = ?"), {Text(accountNumber)})
        .next();
}

QString TdmdMain::FindAccountId(const QString &accountNumber)
{
    QSqlQuery q = RunSql(m_account, QStringLiteral("SELECT Kovra_ID FROM tblKovra WHERE KovraAccount = ? ORDER BY Kovra_ID"),
                         {Text(accountNumber)});
    return q.next() ? QString::number(q.value(0).toInt()) : QString();
}

bool TdmdMain::ReceiverExists(const QString &receiverAddress)
{
    return RunSql(m_account, QStringLiteral("SELECT * FROM tblReceiver WHERE ReceiverIP = ?"), {Text(receiverAddress)})
        .next();
}

QString TdmdMain::GetReceiverPassword(const QString &receiverAddress)
{
    QSqlQuery q = RunSql(m_account,
                         QStringLiteral("SELECT ReceiverPassword FROM tblReceiver WHERE ReceiverIP = ? COLLATE BINARY "
                                        "ORDER BY Receiver_ID"),
                         {Text(receiverAddress)});
    return q.next() ? q.value(0).toString() : QStringLiteral("B7D2");
}

QString TdmdMain::GetOptionValue(int accountId, const QString &optionNumber)
{
    QSqlQuery q = RunSql(m_account,
                         QStringLiteral("SELECT KovraOptionValue FROM tblKovraOptions WHERE Kovra_ID = ? AND "
                                        "OptionNumber = ? ORDER BY KovraOption_ID"),
                         {accountId, Text(optionNumber)});
    return q.next() ? q.value(0).toString() : QString();
}

QString TdmdMain::GetAccountVersion(int accountId) { return GetOptionValue(accountId, QStringLiteral("326")); }

void TdmdMain::SetOptionValue(int accountId, const QString &optionNumber, const QString &value)
{
    RunSql(m_account,
           QStringLiteral("UPDATE tblKovraOptions SET KovraOptionValue = ? WHERE Kovra_ID = ? AND OptionNumber = ?"),
           {Text(value), accountId, Text(optionNumber)});
    emit accountsChanged();
}

void TdmdMain::SetOptionValueById(int optionRowId, const QString &value)
{
    RunSql(m_account, QStringLiteral("UPDATE tblKovraOptions SET KovraOptionValue = ? WHERE KovraOption_ID = ?"),
           {Text(value), optionRowId});
    emit accountsChanged();
}

int TdmdMain::insertAccountRow(const AccountValues &v, const QString receivers[3], const QString gateways[3])
{
    QSqlQuery q = RunSql(
        m_account,
        QStringLiteral("INSERT INTO tblKovra (KovraAccount, KovraKey, KovraIP, KovraMAC, Receiver1, Receiver2, "
                       "Receiver3, Receiver1Gateway, Receiver2Gateway, Receiver3Gateway, Receiver1Port, Receiver2Port, "
                       "Receiver3Port) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {Text(v.accountNumber), Text(v.key), Text(v.moduleAddress), kNewMac, Text(receivers[0]), Text(receivers[1]),
         Text(receivers[2]), Text(gateways[0]), Text(gateways[1]), Text(gateways[2]), Text(v.receiverPort[0]),
         Text(v.receiverPort[1]), Text(v.receiverPort[2])});
    return q.lastInsertId().toInt();
}

int TdmdMain::AddDefaultOptions(const AccountValues &v)
{
    Generation g;
    if (!GenerationFromCode(v.generationCode, &g))
        throw DatabaseError(QStringLiteral("Unknown firmware generation \"%1\".").arg(v.generationCode));
    Transaction t(m_account);
    const int id = insertAccountRow(v, v.receiver, v.gateway);
    QList<QPair<QString, QString>> rows;
    for (const CatalogueEntry &e : CatalogueEntries(g)) {
        QString value = e.OptionDefault;
        if (e.OptionNumber.compare(QLatin1String("326"), Qt::CaseInsensitive) == 0)
            value = GenerationVersion(g);
        else
            accountValueFor(v, e.OptionNumber, &value);
        rows.append({e.OptionNumber, value});
    }
    insertOptionRows(m_account, id, rows);
    t.commit();
    emit accountsChanged();
    return id;
}

int TdmdMain::AddTemplateOptions(const AccountValues &v, const QString &templateGeneration)
{
    const Generation g = TemplateGeneration(templateGeneration);
    Transaction t(m_account);

    // Template rows are matched by option number rather than by position, so a
    // template filled for another generation cannot shift values onto wrong options.
    QHash<QString, QString> byDisplay;
    {
        QSqlQuery q = RunSql(m_account, QStringLiteral("SELECT OptionNumber, OptionDefault FROM tblTemplate ORDER BY rowid"));
        while (q.next())
            if (!byDisplay.contains(q.value(0).toString()))
                byDisplay.insert(q.value(0).toString(), q.value(1).toString());
    }
    QString receivers[3], gateways[3];
    const char *receiverNumbers[] = {"007", "00B", "00F"};
    const char *gatewayNumbers[] = {"008", "00C", "010"};
    for (int i = 0; i < 3; ++i) {
        receivers[i] = byDisplay.value(DisplayNumber(QLatin1String(receiverNumbers[i])));
        gateways[i] = byDisplay.value(DisplayNumber(QLatin1String(gatewayNumbers[i])));
    }
    const int id = insertAccountRow(v, receivers, gateways);

    QList<QPair<QString, QString>> rows;
    for (const CatalogueEntry &e : CatalogueEntries(g)) {
        const auto found = byDisplay.constFind(DisplayNumber(e.OptionNumber));
        QString value = found != byDisplay.constEnd() ? *found : e.OptionDefault;
        const QString n = e.OptionNumber.toUpper();
        if (n == QLatin1String("001"))
            value = v.moduleAddress;
        else if (n == QLatin1String("003"))
            value = v.accountNumber;
        else if (n == QLatin1String("004"))
            value = v.key.mid(0, 16);
        else if (n == QLatin1String("005"))
            value = v.key.mid(16, 16);
        rows.append({e.OptionNumber, value});
    }
    insertOptionRows(m_account, id, rows);
    t.commit();
    emit accountsChanged();
    return id;
}

bool TdmdMain::UpgradeAccount(int accountId, const QString &oldGeneration, int *newAccountId,
                              const QString &newGeneration)
{
    Q_UNUSED(oldGeneration);
    ProgressScope progress(QStringLiteral("Upgrading Database. Please wait..."), false);
    const QString number = GetOptionValue(accountId, QStringLiteral("003"));
    return RebuildAccount(number, QStringLiteral("XXXXXXXXXX"), newAccountId, newGeneration);
}

bool TdmdMain::RebuildAccount(const QString &accountNumber, const QString &temporaryNumber, int *newAccountId,
                              const QString &generationCode)
{
    Generation g;
    static const QStringList upgradeCodes = {"011", "012", "013", "014"};
    if (!upgradeCodes.contains(generationCode) || !GenerationFromCode(generationCode, &g)) {
        ShowTimedError(QStringLiteral("Could not copy Kovra."), 10000);
        return false;
    }
    Transaction t(m_account);
    QSqlQuery old = RunSql(m_account, QStringLiteral("SELECT * FROM tblKovra WHERE KovraAccount = ? ORDER BY Kovra_ID"),
                           {Text(accountNumber)});
    if (accountNumber.isEmpty() || !old.next()) {
        ShowTimedError(QStringLiteral("Could not copy Kovra."), 10000);
        return false;
    }
    const QSqlRecord row = old.record();
    const int oldId = row.value(QStringLiteral("Kovra_ID")).toInt();
    old.finish();

    // The copy under construction carries the temporary number until the old row is gone.
    QStringList columns;
    QVariantList values;
    for (int i = 0; i < row.count(); ++i) {
        const QString name = row.fieldName(i);
        if (name == QLatin1String("Kovra_ID"))
            continue;
        columns << name;
        values << (name == QLatin1String("KovraAccount") ? QVariant(temporaryNumber) : row.value(i));
    }
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const int newId = RunSql(m_account,
                             QStringLiteral("INSERT INTO tblKovra (%1) VALUES (%2)")
                                 .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                             values)
                          .lastInsertId()
                          .toInt();

    QHash<QString, QString> oldValues;
    {
        QSqlQuery q = RunSql(m_account,
                             QStringLiteral("SELECT OptionNumber, KovraOptionValue FROM tblKovraOptions WHERE Kovra_ID = ? "
                                            "ORDER BY KovraOption_ID DESC"),
                             {oldId});
        // Descending, so the first row of a number wins as a lookup would find it.
        while (q.next())
            oldValues.insert(q.value(0).toString().toUpper(), q.value(1).toString());
    }
    QList<QPair<QString, QString>> rows;
    for (const CatalogueEntry &e : CatalogueEntries(g)) {
        const QString n = e.OptionNumber.toUpper();
        QString value = oldValues.value(n);
        if (value.isEmpty() || n == QLatin1String("326"))
            value = e.OptionDefault;
        rows.append({e.OptionNumber, value});
    }
    insertOptionRows(m_account, newId, rows);
    // The old account's option rows go with it: nothing else would ever remove them.
    RunSql(m_account, QStringLiteral("DELETE FROM tblKovraOptions WHERE Kovra_ID = ?"), {oldId});
    RunSql(m_account, QStringLiteral("DELETE FROM tblKovra WHERE Kovra_ID = ?"), {oldId});
    RunSql(m_account, QStringLiteral("UPDATE tblKovra SET KovraAccount = ? WHERE Kovra_ID = ?"),
           {Text(accountNumber), newId});
    t.commit();
    if (newAccountId)
        *newAccountId = newId;
    emit accountsChanged();
    return true;
}

void TdmdMain::DeleteAccount(int accountId)
{
    QString number;
    {
        QSqlQuery q = RunSql(m_account, QStringLiteral("SELECT KovraAccount FROM tblKovra WHERE Kovra_ID = ?"), {accountId});
        if (!q.next())
            return;   // already gone: no deletion to log
        number = q.value(0).toString();
    }
    Transaction t(m_account);
    RunSql(m_account, QStringLiteral("DELETE FROM tblKovraOptions WHERE Kovra_ID = ?"), {accountId});
    RunSql(m_account, QStringLiteral("DELETE FROM tblKovra WHERE Kovra_ID = ?"), {accountId});
    t.commit();
    emit accountsChanged();
    WriteLogEvent(111, number);
}

int TdmdMain::AccountCount()
{
    QSqlQuery q = RunSql(m_account, QStringLiteral("SELECT count(*) FROM tblKovra"));
    return q.next() ? q.value(0).toInt() : 0;
}

void TdmdMain::LoadTemplateCatalogue(const QString &generationCode)
{
    const Generation g = TemplateGeneration(generationCode);
    Transaction t(m_account);
    RunSql(m_account, QStringLiteral("DELETE FROM tblTemplate"));
    QSqlQuery ins = prepared(m_account,
                             QStringLiteral("INSERT INTO tblTemplate (OptionNumber, OptionName, OptionPanelType, "
                                            "OptionTypeValidation, OptionDefault, OptionEffect, OptionDescription) "
                                            "VALUES (?,?,?,?,?,?,?)"));
    for (const CatalogueEntry &e : CatalogueEntries(g))
        run(ins, {DisplayNumber(e.OptionNumber), Text(e.OptionName), Text(e.OptionPanelType),
                  Text(e.OptionTypeValidation), Text(e.OptionDefault.trimmed()), Text(e.OptionEffect),
                  Text(e.OptionDescription)});
    t.commit();
    m_templateGeneration = generationCode;
}

void TdmdMain::RefillOptionCatalogue()
{
    Transaction t(m_account);
    RunSql(m_account, QStringLiteral("DELETE FROM tblOptions"));
    QSqlQuery ins = prepared(m_account,
                             QStringLiteral("INSERT INTO tblOptions (OptionNumber, OptionName, OptionPanelType, "
                                            "OptionTypeValidation, OptionDefault, OptionEffect, OptionDescription) "
                                            "VALUES (?,?,?,?,?,?,?)"));
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14))
        run(ins, {Text(e.OptionNumber), Text(e.OptionName), Text(e.OptionPanelType), Text(e.OptionTypeValidation),
                  Text(e.OptionDefault), Text(e.OptionEffect), Text(e.OptionDescription)});
    t.commit();
}

} // namespace kovra
