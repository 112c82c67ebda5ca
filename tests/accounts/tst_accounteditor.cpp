// The account editor's Save: checks in order, questions, writes, log events.
#include "AccountEditor.h"
#include "ExchangeFiles.h"
#include "InstallationFolder.h"
#include "ScriptedDialogs.h"

#include <QSqlQuery>
#include <QtTest>

using namespace kovra;

namespace {

const QString kInvalidNumber = QStringLiteral("Invalid Account Number.");
const QString kPortConflict =
    QStringLiteral("There Are Conflicting Ports With Default Values. Please Use Different Port Values.");
const QString kDowngrade =
    QStringLiteral("You cannot downgrade an account. You must delete the account and create a new one.");
const QString kStoredPortConflict = QStringLiteral(
    "There are conflicting ports with programmed values. Please check the programming before changing the port values.");

QStringList logEvents(InstallationFolder &home)
{
    QSqlQuery q = RunSql(home.db().userDatabase(), "SELECT Event, EventDescription FROM tblLog ORDER BY Event_ID");
    QStringList out;
    while (q.next())
        out << q.value(0).toString() + " | " + q.value(1).toString();
    return out;
}

AccountInput newInput(const QString &number, const QString &generation = "014")
{
    AccountInput in;
    in.accountNumber = number;
    in.generation = generation;
    in.installerCode = AccountEditor::InstallerCodeForGeneration(generation);
    return in;
}

// A template file of the generation whose option 013 (display "019") holds the port.
QString writeTemplate(InstallationFolder &home, const QString &generation, const QString &consolePort)
{
    home.db().LoadTemplateCatalogue(generation);
    RunSql(home.db().accountDatabase(), "UPDATE tblTemplate SET OptionDefault = ? WHERE OptionNumber = '019'",
           {consolePort});
    const QString file = home.file("Export/t" + generation + ".tpl");
    if (!SaveTemplateFile(home.db(), file))
        qFatal("template file not written");
    return file;
}

} // namespace

class TestAccountEditor : public QObject {
    Q_OBJECT
private slots:
    void accountNumberRules_data();
    void accountNumberRules();
    void addRefusesExistingNumber();
    void addPortConflictWithDefaults_data();
    void addPortConflictWithDefaults();
    void addWithTemplate();
    void addWithTemplateOfOtherGeneration();
    void fieldRulesAndClamping();
    void editWithoutChangingNumber();
    void editToExistingNumberRefused();
    void editChangedMark_data();
    void editChangedMark();
    void downgradeRefusedNothingSaved();
    void upgradeWithYesThenFieldsWritten();
    void upgradeDeclinedKeepsGeneration();
    void moduleAddressLeavesOption001();
    void storedPortConflictRefused();
    void keyHelpers_data();
    void keyHelpers();
};

void TestAccountEditor::accountNumberRules_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("generation");
    QTest::addColumn<QString>("stored");   // empty: refused
    QTest::newRow("empty field reads ten F") << "" << "014" << "";
    QTest::newRow("five digits: five trailing F") << "12345" << "014" << "12345FFFFF";
    QTest::newRow("four digits: six trailing F") << "1234" << "014" << "";
    QTest::newRow("all zero") << "0000000000" << "012" << "";
    QTest::newRow("lower case forced upper") << "abcdef0123" << "010" << "ABCDEF0123";
    QTest::newRow("ten digits") << "0000000001" << "011" << "0000000001";
}

void TestAccountEditor::accountNumberRules()
{
    QFETCH(QString, typed);
    QFETCH(QString, generation);
    QFETCH(QString, stored);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    AccountEditor editor(home.db(), AccountEditor::Add);
    if (!stored.isEmpty())
        dialogs.answerNo();   // no template
    const AccountSaveOutcome out = editor.save(newInput(typed, generation));
    if (stored.isEmpty()) {
        QCOMPARE(out.result, AccountEditorResult::KeepOpen);
        QCOMPARE(dialogs.lastText(), kInvalidNumber);
        QCOMPARE(dialogs.shown().last().caption, QString("Error"));
        QCOMPARE(dialogs.shown().last().lifetimeMs, 5000);
        QCOMPARE(home.rowCount("tblKovra"), 0);
        QCOMPARE(home.rowCount("tblLog"), 0);
        return;
    }
    QCOMPARE(out.result, AccountEditorResult::Changed);
    QCOMPARE(home.accountField(out.accountId, "KovraAccount"), stored);
    QCOMPARE(home.optionValue(out.accountId, "003"), stored);
    QCOMPARE(home.optionValue(out.accountId, "326"), generation + "0");
    QCOMPARE(logEvents(home), QStringList{"Kovra Account Create | Kovra Account " + stored + " created"});
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestAccountEditor::addRefusesExistingNumber()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001", "014");
    AccountEditor editor(home.db(), AccountEditor::Add);
    const AccountSaveOutcome out = editor.save(newInput("0000000001"));
    QCOMPARE(out.result, AccountEditorResult::KeepOpen);
    QCOMPARE(dialogs.lastText(),
             QString(" Account Number 0000000001 already exists. Please use a unique account code."));
    QCOMPARE(dialogs.shown().last().lifetimeMs, 4000);
    QCOMPARE(home.rowCount("tblKovra"), 1);
}

void TestAccountEditor::addPortConflictWithDefaults_data()
{
    QTest::addColumn<int>("consolePort");
    QTest::addColumn<int>("remotePort");
    QTest::addColumn<bool>("refused");
    QTest::newRow("console 3062") << 3062 << 3061 << true;
    QTest::newRow("console 3060") << 3060 << 3061 << true;
    QTest::newRow("remote 3063") << 3064 << 3063 << true;
    QTest::newRow("defaults") << 3064 << 3061 << false;
    QTest::newRow("console 3065") << 3065 << 3061 << false;
}

void TestAccountEditor::addPortConflictWithDefaults()
{
    QFETCH(int, consolePort);
    QFETCH(int, remotePort);
    QFETCH(bool, refused);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    AccountEditor editor(home.db(), AccountEditor::Add);
    AccountInput in = newInput("0000000007");
    in.consolePort = consolePort;
    in.remotePort = remotePort;
    dialogs.answerNo();
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(dialogs.shown().first().caption, QString("Add New Account"));
    QCOMPARE(dialogs.shown().first().text, QString("Do you wish to load a Template set of Options?"));
    if (refused) {
        QCOMPARE(out.result, AccountEditorResult::KeepOpen);
        QCOMPARE(dialogs.lastText(), kPortConflict);
        QCOMPARE(home.rowCount("tblKovra"), 0);
        QCOMPARE(home.rowCount("tblKovraOptions"), 0);
    } else {
        QCOMPARE(out.result, AccountEditorResult::Changed);
        QCOMPARE(home.optionValue(out.accountId, "013"), QString::number(consolePort));
        QCOMPARE(home.optionValue(out.accountId, "00A"), QString::number(remotePort));
    }
}

void TestAccountEditor::addWithTemplate()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString file = writeTemplate(home, "014", "4000");
    AccountEditor editor(home.db(), AccountEditor::Add);
    AccountInput in = newInput("0000000009");
    in.consolePort = 3062;   // refused without a template; the template's ports apply
    in.key = "0123456789ABCDEF0123456789ABCDEF";
    in.moduleAddress[3] = 7;
    dialogs.answerYes();
    dialogs.queueFile(file);
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, AccountEditorResult::Changed);
    QCOMPARE(dialogs.fileRequests().size(), 1);
    QCOMPARE(dialogs.fileRequests().first().title, QString("Open Kovra Template"));
    QVERIFY(dialogs.fileRequests().first().filter.contains("*.tpl"));
    QCOMPARE(home.optionValue(out.accountId, "013"), QString("4000"));
    QCOMPARE(home.optionValue(out.accountId, "003"), QString("0000000009"));
    QCOMPARE(home.optionValue(out.accountId, "004"), QString("0123456789ABCDEF"));
    QCOMPARE(home.optionValue(out.accountId, "001"), QString("192.168.0.7"));
    QCOMPARE(home.optionRowCount(out.accountId), 85);
    QCOMPARE(logEvents(home).last(), QString("Kovra Account Create | Kovra Account 0000000009 created"));

    // The dialog cancelled goes on as No: the port check applies again.
    ScriptedDialogs again;
    AccountEditor second(home.db(), AccountEditor::Add);
    in.accountNumber = "0000000010";
    again.answerYes();
    again.queueFile(QString());
    QCOMPARE(second.save(in).result, AccountEditorResult::KeepOpen);
    QCOMPARE(again.lastText(), kPortConflict);
}

void TestAccountEditor::addWithTemplateOfOtherGeneration()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QString file = writeTemplate(home, "012", "3064");
    AccountEditor editor(home.db(), AccountEditor::Add);
    dialogs.answerYes();
    dialogs.queueFile(file);
    const AccountSaveOutcome out = editor.save(newInput("0000000011", "014"));
    QCOMPARE(out.result, AccountEditorResult::KeepOpen);
    QCOMPARE(dialogs.lastText(), QString("Incorrect Kovra Template version."));
    QCOMPARE(home.rowCount("tblKovra"), 0);
}

void TestAccountEditor::fieldRulesAndClamping()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    AccountEditor editor(home.db(), AccountEditor::Add);
    AccountInput in = newInput("00000000ab", "012");
    in.key = "abc";
    in.installerCode = "7";
    in.consolePort = 70000;
    in.remotePort = 0;
    in.moduleAddress[0] = 300;
    in.moduleAddress[1] = -4;
    in.receivers[1].address[0] = 256;
    in.receivers[2].port = 999999;
    dialogs.answerNo();
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, AccountEditorResult::Changed);
    const int id = out.accountId;
    QCOMPARE(home.accountField(id, "KovraAccount"), QString("00000000AB"));
    QCOMPARE(home.accountField(id, "KovraKey"), QString("ABC") + QString(29, '0'));
    QCOMPARE(home.optionValue(id, "005"), QString(16, '0'));
    QCOMPARE(home.optionValue(id, "006"), QString("7000"));
    QCOMPARE(home.optionValue(id, "013"), QString("65535"));
    QCOMPARE(home.optionValue(id, "00A"), QString("1"));
    QCOMPARE(home.accountField(id, "KovraIP"), QString("255.0.0.99"));
    QCOMPARE(home.accountField(id, "Receiver2"), QString("255.0.0.0"));
    QCOMPARE(home.optionValue(id, "00B"), QString("255.0.0.0"));
    QCOMPARE(home.accountField(id, "Receiver3Port"), QString("65535"));

    // The generation buttons' installer codes.
    QCOMPARE(AccountEditor::InstallerCodeForGeneration("010"), QString("B7D2"));
    QCOMPARE(AccountEditor::InstallerCodeForGeneration("011"), QString("B7D2"));
    QCOMPARE(AccountEditor::InstallerCodeForGeneration("012"), QString("D4E9"));
    QCOMPARE(AccountEditor::InstallerCodeForGeneration("014"), QString("D4E9"));
}

void TestAccountEditor::editWithoutChangingNumber()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "014");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    QCOMPARE(in.accountNumber, QString("0000000001"));
    QCOMPARE(in.generation, QString("014"));
    in.consolePort = 3070;   // ports do not set the changed mark
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, AccountEditorResult::Unchanged);
    QCOMPARE(out.accountId, id);
    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(home.optionValue(id, "013"), QString("3070"));
    QCOMPARE(logEvents(home).last(), QString("Kovra Account Edit | Kovra Account 0000000001 edited"));

    // A number stored in lower case (an imported file) is still the account's own.
    const int other = home.addAccount("00000000AB", "012");
    RunSql(home.db().accountDatabase(), "UPDATE tblKovra SET KovraAccount = '00000000ab' WHERE Kovra_ID = ?", {other});
    AccountEditor lower(home.db(), AccountEditor::Edit, other);
    QVERIFY(lower.load(in));
    QCOMPARE(lower.save(in).result, AccountEditorResult::Unchanged);
    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(home.accountField(other, "KovraAccount"), QString("00000000AB"));
}

void TestAccountEditor::editToExistingNumberRefused()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001", "014");
    const int id = home.addAccount("0000000002", "014");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    in.accountNumber = "0000000001";
    in.key = "FFFF";
    QCOMPARE(editor.save(in).result, AccountEditorResult::KeepOpen);
    QCOMPARE(dialogs.lastText(), QString(" Account Number 0000000001 has already exists. "
                                         "Please provide another Number or set default value."));
    QCOMPARE(home.accountField(id, "KovraAccount"), QString("0000000002"));
    QCOMPARE(home.optionValue(id, "004"), QString(16, '0'));
}

void TestAccountEditor::editChangedMark_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("changed");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("console port") << "consolePort" << false;
    QTest::newRow("receiver port") << "receiverPort" << false;
    QTest::newRow("gateway") << "gateway" << true;
    QTest::newRow("receiver address") << "receiver" << true;
    QTest::newRow("installer code") << "installer" << true;
    QTest::newRow("key") << "key" << true;
}

void TestAccountEditor::editChangedMark()
{
    QFETCH(QString, field);
    QFETCH(bool, changed);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "013");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    if (field == "consolePort")
        in.consolePort = 3100;
    else if (field == "receiverPort")
        in.receivers[0].port = 3100;
    else if (field == "gateway")
        in.receivers[2].gateway[0] = 10;
    else if (field == "receiver")
        in.receivers[1].address[3] = 9;
    else if (field == "installer")
        in.installerCode = "1234";
    else if (field == "key")
        in.key = "1";
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, changed ? AccountEditorResult::Changed : AccountEditorResult::Unchanged);
    if (field == "gateway") {
        QCOMPARE(home.accountField(id, "Receiver3Gateway"), QString("10.0.0.0"));
        QCOMPARE(home.optionValue(id, "010"), QString("10.0.0.0"));
    }
    if (field == "receiver") {
        QCOMPARE(home.accountField(id, "Receiver2"), QString("0.0.0.9"));
        QCOMPARE(home.optionValue(id, "00B"), QString("0.0.0.9"));
    }
}

void TestAccountEditor::downgradeRefusedNothingSaved()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "014");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    in.generation = "012";
    in.key = "ABCD";
    in.moduleAddress[3] = 1;
    const int logBefore = home.rowCount("tblLog");
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, AccountEditorResult::Cancelled);
    QCOMPARE(dialogs.lastText(), kDowngrade);
    QCOMPARE(dialogs.shown().last().lifetimeMs, 0);   // modal box
    QCOMPARE(home.optionValue(id, "326"), QString("0140"));
    QCOMPARE(home.optionValue(id, "004"), QString(16, '0'));
    QCOMPARE(home.accountField(id, "KovraIP"), QString("192.168.0.99"));
    QCOMPARE(home.rowCount("tblLog"), logBefore);
}

void TestAccountEditor::upgradeWithYesThenFieldsWritten()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "010");
    QCOMPARE(home.optionRowCount(id), 79);
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    QCOMPARE(in.generation, QString("010"));
    in.generation = "014";
    in.key = "0123456789ABCDEF0123456789ABCDEF";
    dialogs.answerYes();
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(dialogs.shown().first().caption, QString("Upgrade Account"));
    QCOMPARE(dialogs.shown().first().text, QString("Do you wish to upgrade this account to the selected version?"));
    QCOMPARE(out.result, AccountEditorResult::Changed);
    QVERIFY(out.accountId != id);
    QCOMPARE(home.optionRowCount(out.accountId), 85);
    QCOMPARE(home.optionRowCount(id), 0);
    QCOMPARE(home.optionValue(out.accountId, "326"), QString("0140"));
    QCOMPARE(home.accountField(out.accountId, "KovraKey"), in.key);
    QCOMPARE(home.optionValue(out.accountId, "004"), QString("0123456789ABCDEF"));
    QCOMPARE(home.optionValue(out.accountId, "005"), QString("0123456789ABCDEF"));
    QCOMPARE(home.rowCount("tblKovra"), 1);
    QSqlQuery q = RunSql(home.db().accountDatabase(), "SELECT count(*) FROM tblKovra WHERE KovraAccount = 'XXXXXXXXXX'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);

    // A second Save of the same window does not ask again.
    dialogs.clear();
    QCOMPARE(editor.save(in).result, AccountEditorResult::Changed);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestAccountEditor::upgradeDeclinedKeepsGeneration()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "011");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    in.generation = "013";
    in.installerCode = "AAAA";
    dialogs.answerNo();
    const AccountSaveOutcome out = editor.save(in);
    QCOMPARE(out.result, AccountEditorResult::Changed);
    QCOMPARE(out.accountId, id);
    QCOMPARE(home.optionValue(id, "326"), QString("0110"));
    QCOMPARE(home.optionValue(id, "006"), QString("AAAA"));
}

void TestAccountEditor::moduleAddressLeavesOption001()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "014");
    const QString option001 = home.optionValue(id, "001");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    in.moduleAddress[0] = 10;
    in.moduleAddress[1] = 1;
    in.moduleAddress[2] = 2;
    in.moduleAddress[3] = 3;
    QCOMPARE(editor.save(in).result, AccountEditorResult::Changed);
    QCOMPARE(home.accountField(id, "KovraIP"), QString("10.1.2.3"));
    QCOMPARE(home.optionValue(id, "001"), option001);
}

void TestAccountEditor::storedPortConflictRefused()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("0000000001", "014");
    home.db().SetOptionValue(id, "00D", "3070");
    AccountEditor editor(home.db(), AccountEditor::Edit, id);
    AccountInput in;
    QVERIFY(editor.load(in));
    in.consolePort = 3070;
    in.key = "1";
    QCOMPARE(editor.save(in).result, AccountEditorResult::KeepOpen);
    QCOMPARE(dialogs.lastText(), kStoredPortConflict);
    QCOMPARE(home.optionValue(id, "013"), QString("3064"));
    QCOMPARE(home.optionValue(id, "004"), QString(16, '0'));
}

void TestAccountEditor::keyHelpers_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<bool>("pastable");
    QTest::newRow("32 hex digits") << "0123456789ABCDEF0123456789ABCDEF" << true;
    QTest::newRow("lower case") << "0123456789abcdef0123456789abcdef" << true;
    QTest::newRow("31 characters") << "0123456789ABCDEF0123456789ABCDE" << false;
    QTest::newRow("33 characters") << "0123456789ABCDEF0123456789ABCDEF0" << false;
    QTest::newRow("not hex") << "0123456789ABCDEF0123456789ABCDEG" << false;
}

void TestAccountEditor::keyHelpers()
{
    QFETCH(QString, clipboard);
    QFETCH(bool, pastable);
    QCOMPARE(AccountEditor::IsPastableKey(clipboard), pastable);
    const QString a = AccountEditor::GenerateKey();
    const QString b = AccountEditor::GenerateKey();
    QVERIFY(AccountEditor::IsPastableKey(a));
    QCOMPARE(a, a.toUpper());
    QVERIFY(a != b);
}

QTEST_GUILESS_MAIN(TestAccountEditor)
#include "tst_accounteditor.moc"
