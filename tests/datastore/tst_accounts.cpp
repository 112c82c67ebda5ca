// Account and option persistence: creation per generation and from the
// template, upgrade, delete, lookups, and all-or-nothing behaviour on failure.
#include "InstallationFolder.h"
#include "OptionCatalogue.h"
#include "ScriptedDialogs.h"
#include "TdmdMain.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace kovra;

namespace {

// Every row of the account tables, to compare the database before and after.
QStringList snapshot(QSqlDatabase db)
{
    QStringList rows;
    for (const char *table : {"tblKovra", "tblKovraOptions"}) {
        QSqlQuery q = RunSql(db, QString("SELECT * FROM %1 ORDER BY 1").arg(table));
        while (q.next()) {
            QStringList fields{table};
            for (int i = 0; i < q.record().count(); ++i)
                fields << q.value(i).toString();
            rows << fields.join('|');
        }
    }
    return rows;
}

AccountValues sampleValues(const QString &number, const QString &generation)
{
    AccountValues v;
    v.accountNumber = number;
    v.key = "0123456789ABCDEFFEDCBA9876543210";
    v.moduleAddress = "192.168.10.20";
    v.receiver[0] = "10.0.0.1";
    v.receiver[1] = "10.0.0.2";
    v.receiver[2] = "10.0.0.3";
    v.gateway[0] = "10.0.0.254";
    v.gateway[1] = "10.0.1.254";
    v.gateway[2] = "10.0.2.254";
    v.receiverPort[0] = "3064";
    v.receiverPort[1] = "3065";
    v.receiverPort[2] = "3066";
    v.installerCode = "4A5B";
    v.remotePort = "5001";
    v.consolePort = "3070";
    v.generationCode = generation;
    return v;
}

Generation gen(const QString &code)
{
    Generation g = Generation::V10;
    GenerationFromCode(code, &g);
    return g;
}

QString defaultOf(Generation g, const QString &number)
{
    for (const CatalogueEntry &e : CatalogueEntries(g))
        if (e.OptionNumber == number)
            return e.OptionDefault;
    return "<absent>";
}

void addFailTrigger(QSqlDatabase db, const QString &event, const QString &table, const QString &when = "1")
{
    RunSql(db, QString("CREATE TEMP TRIGGER injected_failure BEFORE %1 ON main.%2 WHEN %3 "
                       "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")
                   .arg(event, table, when));
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT
private slots:
    void accountCodeValidity_data();
    void accountCodeValidity();
    void createFromCatalogue_data();
    void createFromCatalogue();
    void createFromTemplate();
    void upgradeKeepsValuesAndTakesNewDefaults();
    void upgradeRefusesUnknownGeneration_data();
    void upgradeRefusesUnknownGeneration();
    void failureLeavesDatabaseUnchanged_data();
    void failureLeavesDatabaseUnchanged();
    void deleteRemovesOptionRowsAndLogs();
    void lookupsIgnoreCase();
    void optionValuesStoredUnchanged();
    void receiverPassword();
    void padNumber_data();
    void padNumber();
};

void TestAccounts::accountCodeValidity_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("valid");
    QTest::newRow("catalogue default of 003") << "0000FFFFFF" << "014" << false;
    QTest::newRow("ordinary") << "0000000001" << "014" << true;
    QTest::newRow("ends in six F") << "1234FFFFFF" << "014" << false;
    QTest::newRow("ends in six f") << "1234ffffff" << "014" << false;
    QTest::newRow("five F only") << "12340FFFFF" << "014" << true;
    QTest::newRow("all zero") << "0000000000" << "013" << false;
    QTest::newRow("version 0150") << "0000000001" << "0150" << false;
    QTest::newRow("version 0140") << "0000000001" << "0140" << true;
    QTest::newRow("generation 010") << "ABCDEF0123" << "010" << true;
    QTest::newRow("version 000") << "0000000001" << "0000" << false;
    QTest::newRow("empty version") << "0000000001" << "" << false;
}

void TestAccounts::accountCodeValidity()
{
    QFETCH(QString, number);
    QFETCH(QString, version);
    QFETCH(bool, valid);
    QCOMPARE(IsAccountCodeValid(number, version), valid);
}

void TestAccounts::createFromCatalogue_data()
{
    QTest::addColumn<QString>("generation");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("version");
    QTest::newRow("1.0x") << "010" << 79 << "0100";
    QTest::newRow("1.1x") << "011" << 81 << "0110";
    QTest::newRow("1.2x") << "012" << 84 << "0120";
    QTest::newRow("1.3x") << "013" << 84 << "0130";
    QTest::newRow("1.4x") << "014" << 85 << "0140";
}

void TestAccounts::createFromCatalogue()
{
    QFETCH(QString, generation);
    QFETCH(int, rows);
    QFETCH(QString, version);
    InstallationFolder home;
    QSignalSpy changed(&home.db(), &TdmdMain::accountsChanged);
    const AccountValues v = sampleValues("00000000A1", generation);
    const int id = home.db().AddDefaultOptions(v);
    QVERIFY(id > 0);
    QVERIFY(changed.count() >= 1);
    QCOMPARE(home.optionRowCount(id), rows);
    QCOMPARE(home.db().GetAccountVersion(id), version);

    // Account row and its option mirrors.
    QCOMPARE(home.accountField(id, "KovraAccount"), v.accountNumber);
    QCOMPARE(home.accountField(id, "KovraMAC"), QString("02C0DE000000"));
    QCOMPARE(home.accountField(id, "KovraKey"), home.optionValue(id, "004") + home.optionValue(id, "005"));
    QCOMPARE(home.accountField(id, "KovraIP"), home.optionValue(id, "001"));
    QCOMPARE(home.accountField(id, "Receiver3Port"), QString("3066"));
    const QList<QPair<QString, QString>> mirrors = {
        {"001", v.moduleAddress},  {"003", v.accountNumber}, {"004", v.key.left(16)}, {"005", v.key.mid(16)},
        {"006", v.installerCode},  {"007", v.receiver[0]},   {"00B", v.receiver[1]},  {"00F", v.receiver[2]},
        {"008", v.gateway[0]},     {"00C", v.gateway[1]},    {"010", v.gateway[2]},   {"00A", v.remotePort},
        {"013", v.consolePort},
    };
    for (const auto &m : mirrors)
        QCOMPARE(home.optionValue(id, m.first), m.second);
    QCOMPARE(home.accountField(id, "Receiver2"), v.receiver[1]);
    QCOMPARE(home.accountField(id, "Receiver3Gateway"), v.gateway[2]);

    // Rows in catalogue order, defaults elsewhere, old values empty.
    QSqlQuery q = RunSql(home.db().accountDatabase(),
                         "SELECT OptionNumber, KovraOptionValue, KovraOptionOldValue FROM tblKovraOptions "
                         "WHERE Kovra_ID = ? ORDER BY KovraOption_ID",
                         {id});
    for (const CatalogueEntry &e : CatalogueEntries(gen(generation))) {
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), e.OptionNumber);
        QVERIFY(!q.value(2).isNull());
        QCOMPARE(q.value(2).toString(), QString());
        const bool overridden = e.OptionNumber == "326" ||
                                std::any_of(mirrors.begin(), mirrors.end(),
                                            [&](const auto &m) { return m.first == e.OptionNumber; });
        if (!overridden)
            QCOMPARE(q.value(1).toString(), e.OptionDefault);
    }
    QVERIFY(!q.next());
}

void TestAccounts::createFromTemplate()
{
    InstallationFolder home;
    TdmdMain &db = home.db();
    db.LoadTemplateCatalogue("012");
    QCOMPARE(db.templateGeneration(), QString("012"));
    const QList<QPair<QString, QString>> templateValues = {
        {"001", "9.9.9.9"},    {"006", "1234"},       {"007", "10.1.1.7"}, {"011", "10.1.1.11"},
        {"015", "10.1.1.15"},  {"008", "10.1.1.8"},   {"012", "10.1.1.12"}, {"016", "10.1.1.16"},
        {"019", "4000"},
    };
    for (const auto &t : templateValues)
        RunSql(db.accountDatabase(), "UPDATE tblTemplate SET OptionDefault = ? WHERE OptionNumber = ?",
               {t.second, t.first});

    AccountValues v = sampleValues("00000000B2", "012");
    const int id = db.AddTemplateOptions(v, "012");
    QCOMPARE(home.optionRowCount(id), CatalogueEntries(Generation::V12).size());
    // Account values win for address, number and key ...
    QCOMPARE(home.optionValue(id, "001"), v.moduleAddress);
    QCOMPARE(home.optionValue(id, "003"), v.accountNumber);
    QCOMPARE(home.optionValue(id, "004") + home.optionValue(id, "005"), v.key);
    QCOMPARE(home.accountField(id, "KovraIP"), v.moduleAddress);
    // ... everything else comes from the template, receivers on both sides.
    QCOMPARE(home.optionValue(id, "006"), QString("1234"));
    QCOMPARE(home.optionValue(id, "013"), QString("4000"));
    QCOMPARE(home.optionValue(id, "326"), QString("0120"));
    const QList<QPair<QString, QString>> receiverFields = {
        {"Receiver1", "10.1.1.7"},         {"Receiver2", "10.1.1.11"},        {"Receiver3", "10.1.1.15"},
        {"Receiver1Gateway", "10.1.1.8"},  {"Receiver2Gateway", "10.1.1.12"}, {"Receiver3Gateway", "10.1.1.16"},
    };
    for (const auto &f : receiverFields)
        QCOMPARE(home.accountField(id, f.first), f.second);
    QCOMPARE(home.optionValue(id, "00F"), QString("10.1.1.15"));
    QCOMPARE(home.accountField(id, "Receiver2Port"), v.receiverPort[1]);

    // A template of an older generation lacks some options: those keep their
    // defaults, and no value lands on another option.
    db.LoadTemplateCatalogue("010");
    RunSql(db.accountDatabase(), "UPDATE tblTemplate SET OptionDefault = '4001' WHERE OptionNumber = '019'");
    const int newer = db.AddTemplateOptions(sampleValues("00000000B3", "014"), "014");
    QCOMPARE(home.optionRowCount(newer), CatalogueEntries(Generation::V14).size());
    QCOMPARE(home.optionValue(newer, "013"), QString("4001"));
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14))
        if (defaultOf(Generation::V10, e.OptionNumber) == "<absent>")
            QCOMPARE(home.optionValue(newer, e.OptionNumber), e.OptionDefault);
    QCOMPARE(home.optionValue(newer, "326"), QString("0100"));   // the version comes from the template
}

void TestAccounts::upgradeKeepsValuesAndTakesNewDefaults()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    TdmdMain &db = home.db();
    const int oldId = db.AddDefaultOptions(sampleValues("0000000C11", "011"));
    const int neighbour = home.addAccount("0000000C12", "011");
    const QList<CatalogueEntry> &v11 = CatalogueEntries(Generation::V11);
    QString emptied;
    for (const CatalogueEntry &e : v11) {
        if (e.OptionNumber == "003" || e.OptionNumber == "326")
            continue;
        if (emptied.isEmpty() && !defaultOf(Generation::V14, e.OptionNumber).isEmpty()) {
            emptied = e.OptionNumber;
            db.SetOptionValue(oldId, e.OptionNumber, "");
            continue;
        }
        db.SetOptionValue(oldId, e.OptionNumber, "v" + e.OptionNumber);
    }
    QVERIFY(!emptied.isEmpty());

    int newId = -1;
    QVERIFY(db.UpgradeAccount(oldId, "011", &newId, "014"));
    QCOMPARE(dialogs.progressTexts(), QStringList{"Upgrading Database. Please wait..."});
    QVERIFY(dialogs.shown().isEmpty());
    QVERIFY(newId > neighbour);
    QCOMPARE(home.accountField(newId, "KovraAccount"), QString("0000000C11"));
    QCOMPARE(home.accountField(newId, "KovraKey"), QString("0123456789ABCDEFFEDCBA9876543210"));
    QCOMPARE(home.accountField(newId, "Receiver2Port"), QString("3065"));
    QCOMPARE(home.accountField(newId, "KovraMAC"), QString("02C0DE000000"));
    QCOMPARE(home.optionRowCount(newId), 85);

    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14)) {
        const bool inOld = defaultOf(Generation::V11, e.OptionNumber) != "<absent>";
        QString expected = e.OptionDefault;
        if (e.OptionNumber == "003")
            expected = "0000000C11";
        else if (inOld && e.OptionNumber != "326" && e.OptionNumber != emptied)
            expected = "v" + e.OptionNumber;
        QCOMPARE(home.optionValue(newId, e.OptionNumber), expected);
    }
    QCOMPARE(home.optionValue(newId, "326"), QString("0140"));

    // The old account is gone with all its rows; the neighbour is untouched.
    QCOMPARE(home.optionRowCount(oldId), 0);
    QCOMPARE(home.accountField(oldId, "KovraAccount"), QString());
    QVERIFY(!db.AccountExists("XXXXXXXXXX"));
    QCOMPARE(home.rowCount("tblKovra"), 2);
    QCOMPARE(home.rowCount("tblKovraOptions"), 85 + 81);
    QCOMPARE(home.optionRowCount(neighbour), 81);
    QCOMPARE(db.FindAccountId("0000000C11"), QString::number(newId));
}

void TestAccounts::upgradeRefusesUnknownGeneration_data()
{
    QTest::addColumn<QString>("generation");
    QTest::newRow("1.0x is not a target") << "010";
    QTest::newRow("unknown") << "015";
    QTest::newRow("empty") << "";
}

void TestAccounts::upgradeRefusesUnknownGeneration()
{
    QFETCH(QString, generation);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000D01", "010");
    const QStringList before = snapshot(home.db().accountDatabase());
    int newId = -1;
    QVERIFY(!home.db().RebuildAccount("0000000D01", "XXXXXXXXXX", &newId, generation));
    QCOMPARE(dialogs.texts(), QStringList{"Could not copy Kovra."});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 10000);
    QCOMPARE(snapshot(home.db().accountDatabase()), before);
    QCOMPARE(newId, -1);
    QCOMPARE(home.optionRowCount(id), 79);
}

void TestAccounts::failureLeavesDatabaseUnchanged_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("when");
    QTest::newRow("create: option insert") << "create" << "INSERT" << "tblKovraOptions" << "NEW.OptionNumber = '020'";
    QTest::newRow("create: last option") << "create" << "INSERT" << "tblKovraOptions" << "NEW.OptionNumber = '385'";
    QTest::newRow("template: option insert") << "template" << "INSERT" << "tblKovraOptions" << "NEW.OptionNumber = '030'";
    QTest::newRow("upgrade: option insert") << "upgrade" << "INSERT" << "tblKovraOptions" << "NEW.OptionNumber = '046'";
    QTest::newRow("upgrade: old row delete") << "upgrade" << "DELETE" << "tblKovra" << "1";
    QTest::newRow("upgrade: number restored") << "upgrade" << "UPDATE" << "tblKovra" << "1";
    QTest::newRow("delete: account row") << "delete" << "DELETE" << "tblKovra" << "1";
}

void TestAccounts::failureLeavesDatabaseUnchanged()
{
    QFETCH(QString, operation);
    QFETCH(QString, event);
    QFETCH(QString, table);
    QFETCH(QString, when);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    TdmdMain &db = home.db();
    const int existing = home.addAccount("0000000E01", "011");
    db.LoadTemplateCatalogue("014");
    const QStringList before = snapshot(db.accountDatabase());
    const int logBefore = home.rowCount("tblLog");
    addFailTrigger(db.accountDatabase(), event, table, when);

    bool thrown = false;
    try {
        int newId = 0;
        if (operation == "create")
            db.AddDefaultOptions(sampleValues("0000000E02", "014"));
        else if (operation == "template")
            db.AddTemplateOptions(sampleValues("0000000E02", "014"), "014");
        else if (operation == "upgrade")
            db.UpgradeAccount(existing, "011", &newId, "014");
        else
            db.DeleteAccount(existing);
    } catch (const DatabaseError &e) {
        thrown = true;
        QVERIFY2(e.text().contains("injected failure"), qPrintable(e.text()));
    }
    QVERIFY(thrown);
    RunSql(db.accountDatabase(), "DROP TRIGGER temp.injected_failure");
    QCOMPARE(snapshot(db.accountDatabase()), before);
    QCOMPARE(home.rowCount("tblLog"), logBefore);
    QVERIFY(!db.AccountExists("XXXXXXXXXX"));

    // The database is usable afterwards, and auto numbers went on from where they were.
    const int next = home.addAccount("0000000E03", "014");
    QVERIFY(next > existing);
    QCOMPARE(home.optionRowCount(next), 85);
}

void TestAccounts::deleteRemovesOptionRowsAndLogs()
{
    InstallationFolder home;
    const int a = home.addAccount("0000000F01", "013");
    const int b = home.addAccount("0000000F02", "013");
    QSignalSpy changed(&home.db(), &TdmdMain::accountsChanged);
    home.db().DeleteAccount(a);
    QVERIFY(changed.count() >= 1);
    QCOMPARE(home.optionRowCount(a), 0);
    QVERIFY(!home.db().AccountExists("0000000F01"));
    QCOMPARE(home.optionRowCount(b), 84);
    QSqlQuery q = RunSql(home.db().userDatabase(), "SELECT Event, EventDescription FROM tblLog");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Kovra Account Delete"));
    QCOMPARE(q.value(1).toString(), QString("Kovra Account 0000000F01 deleted"));
    QVERIFY(!q.next());
    q.finish();
    // Deleting it again changes and logs nothing.
    home.db().DeleteAccount(a);
    QCOMPARE(home.rowCount("tblLog"), 1);
    QCOMPARE(home.optionRowCount(b), 84);
}

void TestAccounts::lookupsIgnoreCase()
{
    InstallationFolder home;
    const int id = home.addAccount("00000000AB", "014");
    TdmdMain &db = home.db();
    QVERIFY(db.AccountExists("00000000ab"));
    QCOMPARE(db.FindAccountId("00000000aB"), QString::number(id));
    QCOMPARE(db.FindAccountId("00000000AC"), QString());
    QVERIFY(!db.AccountExists("00000000AC"));
    QCOMPARE(db.GetOptionValue(id, "01a"), db.GetOptionValue(id, "01A"));
    QVERIFY(!db.GetOptionValue(id, "01A").isNull());
    QCOMPARE(db.GetOptionValue(id, "999"), QString());
    QCOMPARE(db.GetOptionValue(id + 1, "001"), QString());
    QCOMPARE(db.GetAccountVersion(id), QString("0140"));
}

void TestAccounts::optionValuesStoredUnchanged()
{
    InstallationFolder home;
    const int id = home.addAccount("0000000A01", "014");
    TdmdMain &db = home.db();
    const QString tricky = "O'Brien's \"site\"; DROP TABLE tblKovra;--";
    db.SetOptionValue(id, "041", tricky);
    QCOMPARE(db.GetOptionValue(id, "041"), tricky);
    QCOMPARE(home.rowCount("tblKovra"), 1);

    // No row of that number: nothing happens.
    db.SetOptionValue(id, "999", "x");
    QCOMPARE(home.optionRowCount(id), 85);

    QSqlQuery q = RunSql(db.accountDatabase(),
                         "SELECT KovraOption_ID FROM tblKovraOptions WHERE Kovra_ID = ? AND OptionNumber = '013'", {id});
    QVERIFY(q.next());
    db.SetOptionValueById(q.value(0).toInt(), "3999");
    QCOMPARE(db.GetOptionValue(id, "013"), QString("3999"));

    // A value longer than the column is refused, not cut.
    QVERIFY_THROWS_EXCEPTION(DatabaseError, db.SetOptionValue(id, "013", QString(65, '7')));
    QCOMPARE(db.GetOptionValue(id, "013"), QString("3999"));
}

void TestAccounts::receiverPassword()
{
    InstallationFolder home;
    TdmdMain &db = home.db();
    QCOMPARE(db.GetReceiverPassword("10.0.0.1"), QString("B7D2"));
    QVERIFY(!db.ReceiverExists("10.0.0.1"));
    RunSql(db.accountDatabase(),
           "INSERT INTO tblReceiver (ReceiverIP, ReceiverName, ReceiverType, ReceiverPassword, ReceiverPort) "
           "VALUES ('10.0.0.1', 'North', 1, '1A2B', 3064), ('rcv-a', 'Named', 2, '3C4D', 3064)");
    QVERIFY(db.ReceiverExists("10.0.0.1"));
    QCOMPARE(db.GetReceiverPassword("10.0.0.1"), QString("1A2B"));
    QCOMPARE(db.GetReceiverPassword("10.0.0.2"), QString("B7D2"));
    // Existence ignores case; the password lookup takes the address exactly.
    QVERIFY(db.ReceiverExists("RCV-A"));
    QCOMPARE(db.GetReceiverPassword("RCV-A"), QString("B7D2"));
    QCOMPARE(db.GetReceiverPassword("rcv-a"), QString("3C4D"));
}

void TestAccounts::padNumber_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("padded") << 5 << 3 << "005";
    QTest::newRow("exact") << 901 << 3 << "901";
    QTest::newRow("wider than width") << 12345 << 3 << "12345";
    QTest::newRow("zero") << 0 << 2 << "00";
}

void TestAccounts::padNumber()
{
    QFETCH(int, number);
    QFETCH(int, width);
    QFETCH(QString, text);
    QCOMPARE(PadNumber(number, width), text);
}

QTEST_GUILESS_MAIN(TestAccounts)
#include "tst_accounts.moc"
