#include "ExchangeFiles.h"
#include "InstallationFolder.h"
#include "KovraHome.h"
#include "LineFile.h"
#include "OptionCatalogue.h"
#include "ScriptedDialogs.h"
#include "TempHome.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace kovra;

namespace {

using Values = QHash<QString, QString>;

const QString kNotAccount = "This is not a valid Kovra Account file.";

// The lines of an account file of that generation as another console would
// write them: catalogue defaults unless overridden.
QStringList accountLines(const QString &generation, const QString &number, const Values &values = {},
                         const QString &ip = "10.1.1.1")
{
    Generation g;
    if (!GenerationFromCode(generation, &g))
        g = Generation::V14;
    QStringList lines;
    for (const CatalogueEntry &e : CatalogueEntries(g)) {
        QString v = e.OptionDefault;
        if (e.OptionNumber == "003")
            v = number;
        v = values.value(e.OptionNumber, v);
        lines << e.OptionNumber + "*" + FindCatalogueEntry(e.OptionNumber)->OptionName + "*" + v;
    }
    lines << "950*Account_IP_Address*" + ip;
    return lines;
}

QByteArray fileBytes(const QStringList &lines)
{
    const auto bytes = EncodeLineFile(lines);
    if (!bytes)
        qFatal("test file cannot be encoded");
    return *bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {"<unreadable>"};
    const auto lines = DecodeLineFile(f.readAll());
    return lines ? *lines : QStringList{"<not valid>"};
}

// Option values of an account in row order, as "number=value".
QStringList optionRows(InstallationFolder &home, int id)
{
    QSqlQuery q = RunSql(home.db().accountDatabase(),
                         "SELECT OptionNumber, KovraOptionValue, KovraOptionOldValue FROM tblKovraOptions "
                         "WHERE Kovra_ID = ? ORDER BY KovraOption_ID",
                         {id});
    QStringList out;
    while (q.next())
        out << q.value(0).toString() + "=" + q.value(1).toString() + "|" + q.value(2).toString();
    return out;
}

// Every row of the account tables and the log size: equal before and after
// means the database was not changed.
QStringList snapshot(InstallationFolder &home)
{
    QStringList out;
    for (const char *table : {"tblKovra", "tblKovraOptions", "tblTemplate"}) {
        QSqlQuery q = RunSql(home.db().accountDatabase(), QString("SELECT * FROM %1 ORDER BY rowid").arg(table));
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << q.value(i).toString();
            out << QString(table) + ":" + fields.join("|");
        }
    }
    out << "log:" + QString::number(home.rowCount("tblLog"));
    return out;
}

QString lastLogEvent(InstallationFolder &home)
{
    QSqlQuery q = RunSql(home.db().userDatabase(),
                         "SELECT Event, EventDescription FROM tblLog ORDER BY Event_ID DESC LIMIT 1");
    return q.next() ? q.value(0).toString() + " / " + q.value(1).toString() : QString();
}

QStringList templateRows(InstallationFolder &home)
{
    QSqlQuery q = RunSql(home.db().accountDatabase(), "SELECT OptionNumber, OptionDefault FROM tblTemplate ORDER BY rowid");
    QStringList out;
    while (q.next())
        out << q.value(0).toString() + "*" + q.value(1).toString();
    return out;
}

void setTemplateValue(InstallationFolder &home, const QString &display, const QString &value)
{
    RunSql(home.db().accountDatabase(), "UPDATE tblTemplate SET OptionDefault = ? WHERE OptionNumber = ?",
           {value, display});
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultExportFileName();
    void exportNewestAccount();
    void exportFailures();
    void importNewAccount();
    void importOverExistingWithUpgrade();
    void importLowerCaseNumberAndMissingFile();
    void importOverExistingRefused_data();
    void importOverExistingRefused();
    void engineFailureChangesNothing_data();
    void engineFailureChangesNothing();
    void importNewerGenerationRefused_data();
    void importNewerGenerationRefused();
    void importBadFile_data();
    void importBadFile();
    void awkwardValuesSurviveRoundTrip_data();
    void awkwardValuesSurviveRoundTrip();
    void valueFileCannotCarryIsRefused();
    void exchangeLineFields_data();
    void exchangeLineFields();
    void templateRoundTrip();
    void templateOtherGeneration();
    void templateFirstGenerationAcceptsZeroVersion();
    void templateBadFileLeavesTableAlone_data();
    void templateBadFileLeavesTableAlone();
    void optionsAsTemplate();
    void receiverTableRoundTrip();
    void receiverTableForeignLines_data();
    void receiverTableForeignLines();
    void receiverTableFailures();
};

void TestExchange::defaultExportFileName()
{
    InstallationFolder home;
    QCOMPARE(DefaultExportFileName("00000000AB", QDate(2026, 3, 5)),
             home.path() + "/Export/KovraAccount_00000000AB__260305.kva");
    QCOMPARE(DefaultExportFileName("0000000001", QDate(2009, 12, 31)),
             home.path() + "/Export/KovraAccount_0000000001__091231.kva");
}

void TestExchange::exportNewestAccount()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "014");
    home.db().SetOptionValue(id, "006", "1A2B");
    RunSql(home.db().accountDatabase(), "UPDATE tblKovra SET KovraIP = '172.16.0.9' WHERE Kovra_ID = ?", {id});
    const QString file = home.file("Export/a.kva");
    writeFile(file, "an older, longer file that must be replaced completely");
    QVERIFY(ExportAccount(home.db(), file, id));

    const QStringList lines = readLines(file);
    QCOMPARE(lines.size(), 86);
    QCOMPARE(lines.last(), QString("950*Account_IP_Address*172.16.0.9"));
    for (int n = 1; n <= 0x48; ++n) {
        const QString number = QString("%1").arg(n, 3, 16, QChar('0')).toUpper();
        QCOMPARE(Word(lines[n - 1], 1), number);
        QCOMPARE(Word(lines[n - 1], 2), FindCatalogueEntry(number)->OptionName);
    }
    QCOMPARE(lines[5], QString("006*InstallerCode*1A2B"));
    QCOMPARE(lines[2], QString("003*AccountCode*0000000001"));
    QVERIFY(lines.contains("326*SoftwareVersion*0140"));
    QVERIFY(lines.contains("043*DVACS Account*00"));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExchange::exportFailures()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    // No option rows: nothing written.
    const QString file = home.file("Export/none.kva");
    QVERIFY(!ExportAccount(home.db(), file, 4711));
    QVERIFY(!QFile::exists(file));
    // A folder that does not exist cannot take the file.
    const int id = home.addAccount("0000000001", "014");
    QVERIFY(!ExportAccount(home.db(), home.file("no/such/folder/a.kva"), id));
    // Something of the same name that cannot be deleted.
    QVERIFY(QDir().mkpath(home.file("Export/taken.kva/inside")));
    QVERIFY(!ExportAccount(home.db(), home.file("Export/taken.kva"), id));
    QVERIFY(QFileInfo(home.file("Export/taken.kva/inside")).isDir());
}

void TestExchange::importNewAccount()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    RunSql(home.db().accountDatabase(),
           "INSERT INTO tblReceiver (ReceiverIP, ReceiverName, ReceiverType, ReceiverPassword, ReceiverPort) "
           "VALUES ('10.0.0.7', 'Main', 1, 'B7D2', 4000)");
    const Values values{{"004", "0123456789ABCDEF"}, {"005", "FEDCBA9876543210"}, {"007", "10.0.0.7"},
                        {"008", "10.0.0.1"},         {"00B", "10.0.0.8"},         {"00C", "10.0.0.2"},
                        {"00F", "10.0.0.9"},         {"010", "10.0.0.3"},         {"325", "02C0DE123456"},
                        {"01A", "alarm@example.com"}};
    const QStringList lines = accountLines("010", "00000000C1", values, "192.168.5.5");
    const QString file = home.file("Import/old.kva");
    writeFile(file, fileBytes(lines));

    int id = 0;
    QVERIFY(ImportAccount(home.db(), file, &id));
    QCOMPARE(home.db().FindAccountId("00000000C1").toInt(), id);
    QCOMPARE(home.optionRowCount(id), 79);
    QCOMPARE(home.optionValue(id, "043"), QString());
    QCOMPARE(home.optionValue(id, "006"), QString("B7D2"));
    QCOMPARE(home.optionValue(id, "326"), QString("0100"));
    // Rows in file order with the file's values, old values empty.
    QStringList expected;
    for (int i = 0; i < lines.size() - 1; ++i)
        expected << Word(lines[i], 1) + "=" + values.value(Word(lines[i], 1), lines[i].section('*', 2)) + "|";
    QCOMPARE(optionRows(home, id), expected);
    QCOMPARE(home.accountField(id, "KovraAccount"), QString("00000000C1"));
    QCOMPARE(home.accountField(id, "KovraIP"), QString("192.168.5.5"));
    QCOMPARE(home.accountField(id, "KovraKey"), QString("0123456789ABCDEFFEDCBA9876543210"));
    QCOMPARE(home.accountField(id, "KovraMAC"), QString("02C0DE123456"));
    QCOMPARE(home.accountField(id, "Receiver2"), QString("10.0.0.8"));
    QCOMPARE(home.accountField(id, "Receiver3Gateway"), QString("10.0.0.3"));
    QCOMPARE(home.accountField(id, "Receiver1Port"), QString("4000"));   // known receiver
    QCOMPARE(home.accountField(id, "Receiver2Port"), QString("3064"));   // unknown receiver
    QCOMPARE(lastLogEvent(home), QString("Kovra Account Create / Kovra Account 00000000C1 created"));
    QVERIFY(dialogs.shown().isEmpty());

    // Without the 950 line the module address of option 001 is used.
    QStringList noIp = accountLines("014", "00000000C2");
    noIp.removeLast();
    writeFile(file, fileBytes(noIp));
    QVERIFY(ImportAccount(home.db(), file, &id));
    QCOMPARE(home.accountField(id, "KovraIP"), QString("192.168.0.99"));
    QCOMPARE(home.optionRowCount(id), 85);
}

void TestExchange::importOverExistingWithUpgrade()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int oldId = home.addAccount("0000000003", "011");
    home.addAccount("0000000004", "014");   // a bystander that must not change
    const QStringList bystander = optionRows(home, home.db().FindAccountId("0000000004").toInt());
    const Values values{{"006", "1234"}, {"045", "09"}, {"01A", "x@y.z"}, {"007", "10.9.9.9"}, {"327", "0007"}};
    const QStringList lines = accountLines("014", "0000000003", values, "10.2.2.2");
    const QString file = home.file("Import/new.kva");
    writeFile(file, fileBytes(lines));

    dialogs.answerYes();   // replace
    dialogs.answerYes();   // upgrade
    int id = 0;
    QVERIFY(ImportAccount(home.db(), file, &id));
    QCOMPARE(dialogs.pendingAnswers(), 0);
    QVERIFY(!dialogs.unansweredQuestion());
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(dialogs.shown()[0].caption, QString("Confirmation"));
    QCOMPARE(dialogs.shown()[0].text,
             QString("Account 0000000003 that you are about to import already exists. All data in the existing "
                     "Account will be replaced. Do you want to proceed?"));
    QCOMPARE(dialogs.shown()[0].kind, MessageKind::YesNo);
    QCOMPARE(dialogs.shown()[1].caption, QString("Account Upgrade Required"));
    QCOMPARE(dialogs.shown()[1].text,
             QString("Import file contains a newer version of Kovra account data, do you wish to upgrade this account?"));

    QVERIFY(id != oldId);
    QCOMPARE(home.db().FindAccountId("0000000003").toInt(), id);
    QCOMPARE(home.optionRowCount(id), 85);
    QCOMPARE(home.optionRowCount(oldId), 0);
    for (const QString &line : lines.mid(0, lines.size() - 1))
        QCOMPARE(home.optionValue(id, Word(line, 1)), line.section('*', 2));
    QCOMPARE(home.accountField(id, "KovraIP"), QString("10.2.2.2"));
    QCOMPARE(home.accountField(id, "Receiver1"), QString("10.9.9.9"));
    QCOMPARE(home.rowCount("tblKovra"), 2);
    QSqlQuery marked = RunSql(home.db().accountDatabase(), "SELECT count(*) FROM tblKovra WHERE KovraAccount = 'XXXXXXXXXX'");
    QVERIFY(marked.next());
    QCOMPARE(marked.value(0).toInt(), 0);
    QCOMPARE(optionRows(home, home.db().FindAccountId("0000000004").toInt()), bystander);

    // Same generation again: replaced in place without an upgrade question.
    dialogs.clear();
    dialogs.answerYes();
    writeFile(file, fileBytes(accountLines("014", "0000000003", {{"006", "4321"}})));
    int again = 0;
    QVERIFY(ImportAccount(home.db(), file, &again));
    QCOMPARE(again, id);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(home.optionValue(id, "006"), QString("4321"));
    QCOMPARE(home.optionValue(id, "01A"), QString());
}

void TestExchange::importLowerCaseNumberAndMissingFile()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("00000000AB", "014");
    const QString file = home.file("Import/lower.kva");
    writeFile(file, fileBytes(accountLines("014", "00000000ab", {{"006", "7777"}})));
    dialogs.answerYes();
    int got = 0;
    QVERIFY(ImportAccount(home.db(), file, &got));
    QCOMPARE(got, id);
    QCOMPARE(home.rowCount("tblKovra"), 1);
    QCOMPARE(home.accountField(id, "KovraAccount"), QString("00000000AB"));
    QCOMPARE(home.optionValue(id, "003"), QString("00000000AB"));
    QCOMPARE(home.optionValue(id, "006"), QString("7777"));

    dialogs.clear();
    const QStringList before = snapshot(home);
    QVERIFY(!ImportAccount(home.db(), home.file("Import/missing.kva")));
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(dialogs.lastText().contains("missing.kva"), qPrintable(dialogs.lastText()));
    QCOMPARE(snapshot(home), before);
}

void TestExchange::importOverExistingRefused_data()
{
    QTest::addColumn<QString>("accountGeneration");
    QTest::addColumn<QString>("fileVersion");
    QTest::addColumn<QStringList>("answers");   // "yes"/"no" in order
    QTest::addColumn<QString>("lastMessage");
    QTest::newRow("replace declined") << "014" << "0140" << QStringList{"no"}
                                      << "Account 0000000005 that you are about to import already exists. All data "
                                         "in the existing Account will be replaced. Do you want to proceed?";
    QTest::newRow("upgrade declined") << "011" << "0140" << QStringList{"yes", "no"}
                                      << "Import file contains a newer version of Kovra account data, do you wish "
                                         "to upgrade this account?";
    QTest::newRow("downgrade") << "014" << "0130" << QStringList{"yes"}
                               << "Cannot downgrade account. You must delete the duplicate account and import again.";
    QTest::newRow("downgrade to zero version") << "011" << "0000" << QStringList{"yes"}
                                               << "Cannot downgrade account. You must delete the duplicate account "
                                                  "and import again.";
}

void TestExchange::importOverExistingRefused()
{
    QFETCH(QString, accountGeneration);
    QFETCH(QString, fileVersion);
    QFETCH(QStringList, answers);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000005", accountGeneration);
    home.db().SetOptionValue(id, "006", "AAAA");
    const QStringList before = snapshot(home);
    const QString file = home.file("Import/x.kva");
    writeFile(file, fileBytes(accountLines(fileVersion.left(3) == "000" ? "010" : fileVersion.left(3), "0000000005",
                                           {{"326", fileVersion}, {"006", "BBBB"}})));
    for (const QString &a : answers)
        a == "yes" ? dialogs.answerYes() : dialogs.answerNo();

    QVERIFY(!ImportAccount(home.db(), file));
    QCOMPARE(dialogs.pendingAnswers(), 0);
    QVERIFY(!dialogs.unansweredQuestion());
    QTEST(dialogs.lastText(), "lastMessage");
    QCOMPARE(snapshot(home), before);
}

void TestExchange::engineFailureChangesNothing_data()
{
    QTest::addColumn<QString>("existingGeneration");   // empty: the account is new
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("new account") << "" << QStringList{};
    QTest::newRow("existing, same generation") << "014" << QStringList{"yes"};
    QTest::newRow("existing, upgraded") << "011" << QStringList{"yes", "yes"};
}

void TestExchange::engineFailureChangesNothing()
{
    QFETCH(QString, existingGeneration);
    QFETCH(QStringList, answers);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    if (!existingGeneration.isEmpty())
        home.addAccount("000000000C", existingGeneration);
    // The engine fails on the last option row, after everything else was written.
    RunSql(home.db().accountDatabase(),
           "CREATE TRIGGER failInsert BEFORE INSERT ON tblKovraOptions WHEN NEW.KovraOptionValue = 'boom' "
           "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    RunSql(home.db().accountDatabase(),
           "CREATE TRIGGER failUpdate BEFORE UPDATE ON tblKovraOptions WHEN NEW.KovraOptionValue = 'boom' "
           "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    const QStringList before = snapshot(home);
    const QString file = home.file("Import/boom.kva");
    writeFile(file, fileBytes(accountLines("014", "000000000C", {{"385", "boom"}, {"006", "9999"}})));
    for (const QString &a : answers)
        a == "yes" ? dialogs.answerYes() : dialogs.answerNo();
    bool thrown = false;
    try {
        ImportAccount(home.db(), file);
    } catch (const DatabaseError &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(snapshot(home), before);
}

void TestExchange::importNewerGenerationRefused_data()
{
    QTest::addColumn<QString>("version");
    QTest::newRow("1.5x") << "0150";
    QTest::newRow("far newer") << "1000";
    QTest::newRow("five digits") << "10140";
}

void TestExchange::importNewerGenerationRefused()
{
    QFETCH(QString, version);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000006", "014");
    const QStringList before = snapshot(home);
    const QString file = home.file("Import/x.kva");
    for (const char *number : {"0000000006", "0000000007"}) {   // existing and new
        dialogs.closeTimedMessages();
        dialogs.clear();
        writeFile(file, fileBytes(accountLines("014", number, {{"326", version}})));
        QVERIFY(!ImportAccount(home.db(), file));
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.lastText(), QString("Incorrect Kovra Version in Import File."));
        QCOMPARE(dialogs.shown().last().lifetimeMs, 5000);
        QCOMPARE(snapshot(home), before);
    }
}

void TestExchange::importBadFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QStringList good = accountLines("014", "0000000008");
    QByteArray damaged = fileBytes(good);
    damaged[100] = char(damaged[100] ^ 0x04);
    QTest::newRow("bad check sum") << damaged;
    QTest::newRow("cut short") << fileBytes(good).left(300);
    QTest::newRow("empty list") << QByteArray(2, '\0');
    QTest::newRow("fifteen lines") << fileBytes(good.mid(0, 15));
    QTest::newRow("fifteen lines and version") << fileBytes(good.mid(0, 15) << "326*SoftwareVersion*0140");
    QStringList noVersion = good;
    noVersion.removeAt(CatalogueIndexOf("326") - 1);
    QTest::newRow("no version line") << fileBytes(noVersion);
    QStringList noName = good;
    noName[2] = "003";
    QTest::newRow("line without name") << fileBytes(noName);
    QStringList stars = good;
    stars[20] = "***";
    QTest::newRow("line of separators") << fileBytes(stars);
    QStringList badVersion = good;
    badVersion[CatalogueIndexOf("326") - 1] = "326*SoftwareVersion*01Z0";
    QTest::newRow("unreadable version") << fileBytes(badVersion);
    QStringList swapped = good;
    swapped.swapItemsAt(3, 4);
    QTest::newRow("positions swapped") << fileBytes(swapped);
    QStringList shortNumber = good;
    shortNumber[2] = "003*AccountCode*12345";
    QTest::newRow("account number not ten digits") << fileBytes(shortNumber);
    QStringList longValue = good;
    longValue[0x1A - 1] = "01A*EMail1*" + QString(65, 'm');
    QTest::newRow("value too long") << fileBytes(longValue);
    QStringList longIp = good;
    longIp.last() = "950*Account_IP_Address*1234.1234.1234.1234";
    QTest::newRow("address too long") << fileBytes(longIp);
    QStringList duplicate = good;
    duplicate.insert(40, duplicate[39]);
    QTest::newRow("repeated option") << fileBytes(duplicate);
    QStringList wideNumber = good;
    wideNumber[30] = "0301*X*1";
    QTest::newRow("option number too wide") << fileBytes(wideNumber);
    QStringList templ;
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14))
        templ << DisplayNumber(e.OptionNumber) + "*" + e.OptionDefault;
    QTest::newRow("template file") << fileBytes(templ);
    QTest::newRow("receiver table file") << fileBytes({"0*0*1*0*0*3061*0*0*320*0*0*0*5*0000000008*10.0.0.1*K*M"});
}

void TestExchange::importBadFile()
{
    QFETCH(QByteArray, bytes);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000008", "014");   // the flow must not even reach the replace question
    const QStringList before = snapshot(home);
    const QString file = home.file("Import/bad.kva");
    writeFile(file, bytes);
    QVERIFY(!ImportAccount(home.db(), file));
    QVERIFY(!dialogs.unansweredQuestion());
    QCOMPARE(dialogs.texts(), QStringList{kNotAccount});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 0);
    QCOMPARE(snapshot(home), before);
}

void TestExchange::awkwardValuesSurviveRoundTrip_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::newRow("star inside") << "020" << "a*b";
    QTest::newRow("empty") << "01A" << "";
    QTest::newRow("blanks around") << "01B" << " x ";
    QTest::newRow("apostrophe") << "01C" << "O'Brien@example.com";
    QTest::newRow("leading stars") << "01E" << "**smtp";
    QTest::newRow("trailing star") << "01F" << "acct*";
    QTest::newRow("only stars") << "020" << "***";
    QTest::newRow("latin-1") << "020" << QString::fromUtf8("p\u00e4ss\u00df");
    QTest::newRow("full width") << "01A" << QString(64, 'w');
}

void TestExchange::awkwardValuesSurviveRoundTrip()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000009", "014");
    home.db().SetOptionValue(id, option, value);
    const QString neighbour = option == "01B" ? "01A" : "01B";
    home.db().SetOptionValue(id, neighbour, "");   // an empty neighbour as well
    const QStringList rows = optionRows(home, id);
    const QString file = home.file("Export/round.kva");
    QVERIFY(ExportAccount(home.db(), file, id));

    // Over the existing account after the values were changed.
    home.db().SetOptionValue(id, option, "changed");
    home.db().SetOptionValue(id, neighbour, "changed");
    dialogs.answerYes();
    QVERIFY(ImportAccount(home.db(), file));
    QCOMPARE(home.optionValue(id, option), value);
    QCOMPARE(optionRows(home, id), rows);

    // As a new account.
    home.db().DeleteAccount(id);
    int newId = 0;
    QVERIFY(ImportAccount(home.db(), file, &newId));
    QCOMPARE(home.optionValue(newId, option), value);
    QCOMPARE(optionRows(home, newId), rows);

    // Values without "*" that are not empty read the same by the plain word rule.
    for (const QString &line : readLines(file)) {
        const QString v = line.section('*', 2);
        if (!v.isEmpty() && !v.contains('*')) {
            QStringList f;
            QVERIFY(SplitExchangeLine(line, 2, &f));
            QCOMPARE(Word(line, 3), f[2]);
        }
    }
}

void TestExchange::valueFileCannotCarryIsRefused()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("000000000A", "014");
    home.db().SetOptionValue(id, "020", QString::fromUtf8("\u20ac100"));
    const QString file = home.file("Export/euro.kva");
    QVERIFY(!ExportAccount(home.db(), file, id));
    QVERIFY(!QFile::exists(file));
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(dialogs.lastText().contains("020") && dialogs.lastText().contains("SMTPPassword"),
             qPrintable(dialogs.lastText()));
}

void TestExchange::exchangeLineFields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("leading");
    QTest::addColumn<QStringList>("fields");   // empty: refused
    QTest::newRow("plain") << "001*IP_Address*1.2.3.4" << 2 << QStringList{"001", "IP_Address", "1.2.3.4"};
    QTest::newRow("star in value") << "020*SMTPPassword*a*b" << 2 << QStringList{"020", "SMTPPassword", "a*b"};
    QTest::newRow("empty value") << "01A*EMail1*" << 2 << QStringList{"01A", "EMail1", ""};
    QTest::newRow("no separator after name") << "01A*EMail1" << 2 << QStringList{"01A", "EMail1", ""};
    QTest::newRow("runs between leading words") << "**001***IP_Address*x" << 2
                                                 << QStringList{"001", "IP_Address", "x"};
    QTest::newRow("value starting with star") << "01E*SMTPServer**s" << 2 << QStringList{"01E", "SMTPServer", "*s"};
    QTest::newRow("template") << "806*0140" << 1 << QStringList{"806", "0140"};
    QTest::newRow("template empty") << "026*" << 1 << QStringList{"026", ""};
    QTest::newRow("missing name") << "003" << 2 << QStringList{};
    QTest::newRow("only stars") << "***" << 1 << QStringList{};
    QTest::newRow("empty line") << "" << 1 << QStringList{};
}

void TestExchange::exchangeLineFields()
{
    QFETCH(QString, line);
    QFETCH(int, leading);
    QFETCH(QStringList, fields);
    QStringList got;
    QCOMPARE(SplitExchangeLine(line, leading, &got), !fields.isEmpty());
    if (!fields.isEmpty())
        QCOMPARE(got, fields);
}

void TestExchange::templateRoundTrip()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("014");
    setTemplateValue(home, "026", "a*b");        // EMail1
    setTemplateValue(home, "027", " x ");        // EMail2
    setTemplateValue(home, "006", "BEEF");
    setTemplateValue(home, "001", "");
    const QStringList saved = templateRows(home);
    const QString file = home.file("t.tpl");
    QVERIFY(SaveTemplateFile(home.db(), file));
    const QStringList lines = readLines(file);
    QCOMPARE(lines.size(), 85);
    QCOMPARE(lines.first(), QString("001*"));
    QVERIFY(lines.contains("806*0140"));
    QCOMPARE(lines.last(), QString("901*0.0.0.0"));

    home.db().LoadTemplateCatalogue("014");
    QVERIFY(templateRows(home) != saved);
    home.db().setTemplateGeneration("014");
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateLoaded));
    QCOMPARE(templateRows(home), saved);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExchange::templateOtherGeneration()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("013");
    setTemplateValue(home, "006", "CAFE");       // before the version line
    setTemplateValue(home, "801", "11");         // 321: line 72, which is 048 in 1.4x
    setTemplateValue(home, "901", "1.1.1.1");    // 385, after the version line
    const QString file = home.file("old.tpl");
    QVERIFY(SaveTemplateFile(home.db(), file));

    home.db().LoadTemplateCatalogue("014");
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateOtherGeneration));
    const QStringList rows = templateRows(home);
    QCOMPARE(rows.size(), 85);
    QVERIFY(rows.contains("006*CAFE"));          // read before the version line
    QVERIFY(rows.contains("072*11"));            // rows are filled by position
    QVERIFY(rows.contains("901*0.0.0.0"));       // not reached: the 1.4x default
    QVERIFY(rows.contains("806*0140"));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExchange::templateFirstGenerationAcceptsZeroVersion()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("010");
    setTemplateValue(home, "806", "0000");
    setTemplateValue(home, "006", "0101");
    const QString file = home.file("zero.tpl");
    QVERIFY(SaveTemplateFile(home.db(), file));
    home.db().LoadTemplateCatalogue("010");
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateLoaded));
    QVERIFY(templateRows(home).contains("806*0000"));
    QVERIFY(templateRows(home).contains("006*0101"));
    // The same file is another generation for 1.1x.
    home.db().LoadTemplateCatalogue("011");
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateOtherGeneration));
}

void TestExchange::templateBadFileLeavesTableAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray damaged = fileBytes({"001*1.2.3.4", "806*0140"});
    damaged[3] = 'X';
    QTest::newRow("bad check sum") << damaged;
    QTest::newRow("account file") << fileBytes(accountLines("014", "0000000001"));
    QTest::newRow("line without number") << fileBytes({"001*1.2.3.4", "*"});
    QTest::newRow("value too long") << fileBytes({"001*" + QString(65, '1')});
    QTest::newRow("one byte") << QByteArray(1, '\0');
}

void TestExchange::templateBadFileLeavesTableAlone()
{
    QFETCH(QByteArray, bytes);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("014");
    setTemplateValue(home, "006", "ABCD");
    const QStringList before = templateRows(home);
    const QString file = home.file("bad.tpl");
    writeFile(file, bytes);
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateNotValid));
    QCOMPARE(dialogs.texts(), QStringList{"This is not a valid Kovra Template file."});
    QCOMPARE(templateRows(home), before);
}

void TestExchange::optionsAsTemplate()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("000000000B", "012");
    home.db().SetOptionValue(id, "01A", "me*you@x");
    home.db().SetOptionValue(id, "047", "05");
    const QList<OptionValue> options = AccountOptionValues(home.db(), id);
    QCOMPARE(options.size(), 84);
    const QString file = home.file("acct.tpl");
    QVERIFY(SaveOptionsAsTemplate(file, options));

    QCOMPARE(dialogs.progressTexts().first(), QString("Exporting Template. Please wait..."));
    const QList<int> percents = dialogs.progressPercents();
    QVERIFY(!percents.isEmpty());
    QCOMPARE(percents.last(), 100);
    for (int i = 1; i < percents.size(); ++i)
        QVERIFY(percents[i] >= percents[i - 1]);

    const QStringList lines = readLines(file);
    QCOMPARE(lines.size(), 84);
    QCOMPARE(lines[9], QString("010*3061"));      // option 00A
    QVERIFY(lines.contains("806*0120"));
    QVERIFY(lines.contains("026*me*you@x"));

    // Loaded as a 1.2x template it gives the account's values back.
    home.db().LoadTemplateCatalogue("012");
    QCOMPARE(LoadTemplateFile(home.db(), file), int(TemplateLoaded));
    QStringList expected;
    for (const OptionValue &o : options)
        expected << DisplayNumber(o.OptionNumber) + "*" + o.KovraOptionValue;
    QCOMPARE(templateRows(home), expected);
}

void TestExchange::receiverTableRoundTrip()
{
    ScriptedDialogs dialogs;
    TempHome home;
    ReceiverTableEntry a;
    a.Connect = 3;
    a.Count = 65535;
    a.Full = true;
    a.LastResponse = -2;
    a.Local = true;
    a.Port = 3061;
    a.Present = true;
    a.Sequence = 4294967295LL;
    a.Software = 320;
    a.Supervised = 1;
    a.Test = 7;
    a.TimeStamp = 123456789;
    a.Kovra_ID = 12;
    a.KovraAccount = "00000000AB";
    a.KovraIP = "10.0.0.5";
    a.KovraKey = "000102030405060708090A0B0C0D0E0F";
    a.KovraMAC = "02C0DE000001";
    ReceiverTableEntry free;   // a free slot: empty key and MAC in the middle of the line
    free.KovraAccount = "0000000000";
    free.KovraIP = "0.0.0.0";
    const QString file = home.file("t.tbl");
    QVERIFY(SaveReceiverTableFile(file, {a, free}));
    const QStringList lines = readLines(file);
    QCOMPARE(lines.first(), QString("3*65535*1*-2*1*3061*1*4294967295*320*1*7*123456789*12*00000000AB*10.0.0.5*"
                                    "000102030405060708090A0B0C0D0E0F*02C0DE000001"));
    QCOMPARE(lines[1], QString("0*0*0*0*0*0*0*0*0*0*0*0*0*0000000000*0.0.0.0**"));

    ReceiverTableEntry existing;
    existing.KovraAccount = "0000000001";
    QList<ReceiverTableEntry> table{existing};
    QVERIFY(LoadReceiverTableFile(file, table));
    QCOMPARE(table.size(), 3);   // appended
    QVERIFY(table[0] == existing);
    QVERIFY(table[1] == a);
    QVERIFY(table[2] == free);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestExchange::receiverTableForeignLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("full");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("software");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("mac");
    QTest::newRow("full written 1") << "0*0*1*0*0*3061*0*0*320*0*0*0*5*0000000001*10.0.0.1*KEY*MAC" << true << 3061
                                    << 320 << "KEY" << "MAC";
    QTest::newRow("full written 2") << "0*0*2*0*0*3061*0*0*320*0*0*0*5*0000000001*10.0.0.1*KEY*MAC" << false
                                    << 3061 << 320 << "KEY" << "MAC";
    QTest::newRow("not a number") << "0*0*1*0*0*port*0*0*x1*0*0*0*5*0000000001*10.0.0.1*KEY*MAC" << true << 0 << 0
                                  << "KEY" << "MAC";
    QTest::newRow("out of range") << "0*0*1*0*0*70000*0*0*-1*0*0*0*5*0000000001*10.0.0.1*KEY*MAC" << true << 0 << 0
                                  << "KEY" << "MAC";
    QTest::newRow("trailing separator") << "0*0*1*0*0*1*0*0*2*0*0*0*5*0000000001*10.0.0.1*KEY*MAC*" << true << 1
                                        << 2 << "KEY" << "MAC";
    QTest::newRow("empty key keeps its place") << "0*0*1*0*0*1*0*0*2*0*0*0*5*0000000001*10.0.0.1**MAC" << true
                                               << 1 << 2 << "" << "MAC";
}

void TestExchange::receiverTableForeignLines()
{
    QFETCH(QString, line);
    ScriptedDialogs dialogs;
    TempHome home;
    const QString file = home.file("f.tbl");
    writeFile(file, fileBytes({line}));
    QList<ReceiverTableEntry> table;
    QVERIFY(LoadReceiverTableFile(file, table));
    QCOMPARE(table.size(), 1);
    QTEST(table[0].Full, "full");
    QTEST(int(table[0].Port), "port");
    QTEST(int(table[0].Software), "software");
    QTEST(table[0].KovraKey, "key");
    QTEST(table[0].KovraMAC, "mac");
    QCOMPARE(table[0].KovraAccount, QString("0000000001"));
    QCOMPARE(table[0].Kovra_ID, 5);
}

void TestExchange::receiverTableFailures()
{
    ScriptedDialogs dialogs;
    TempHome home;
    const QString file = home.file("x.tbl");
    QVERIFY(!SaveReceiverTableFile(file, {}));
    QVERIFY(!QFile::exists(file));

    ReceiverTableEntry e;
    e.KovraAccount = "0000000001";
    QList<ReceiverTableEntry> table{e};
    const auto original = table;
    for (const QByteArray &bytes :
         {QByteArray::fromHex("0361626301FF"), fileBytes({"001*IP_Address*1.2.3.4"}), fileBytes({"1*2*3"})}) {
        dialogs.clear();
        writeFile(file, bytes);
        QVERIFY(!LoadReceiverTableFile(file, table));
        QCOMPARE(dialogs.texts(), QStringList{"This is not a valid Kovra Table file."});
        QCOMPARE(table.size(), original.size());
    }
}

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
