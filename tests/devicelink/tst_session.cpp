// Lead-in, lead-out and the version check against the simulated module.
#include "ModuleSimFixture.h"
#include "ScriptedDialogs.h"
#include "TraceCapture.h"

#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

using namespace kovra;

namespace {
const QString kKey = QStringLiteral("00112233445566778899AABBCCDDEEFF");

int rowOf(const KovraOptionList &l, const QString &n)
{
    for (int i = 0; i < l.size(); ++i)
        if (l[i].OptionNumber == n)
            return i + 1;
    return 0;
}

QList<QByteArray> commandsOf(const ModuleSimulator &sim)
{
    QList<QByteArray> out;
    for (const SimCommand &c : sim.commands())
        out << c.command;
    return out;
}
} // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void leadInAndOut_data();
    void leadInAndOut();
    void wrongKeyIsNoReply();
    void rejectedLeadIn();
    void unknownStatusGoesOnWithoutSession();
    void versionCheck_data();
    void versionCheck();
    void connectFailed();
    void leadOutWithoutLink();
    void sessionKeyRule_data();
    void sessionKeyRule();
    void linkSettingsWithMissingRows();
};

void TestSession::leadInAndOut_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("unencrypted") << QString();
    QTest::newRow("encrypted") << kKey;
}

void TestSession::leadInAndOut()
{
    QFETCH(QString, key);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, key);
    const LinkSettings s = fx.apply();
    QCOMPARE(s.Encrypt, !key.isEmpty());
    QCOMPARE(s.Key, key);
    QCOMPARE(s.ModulePort, fx.sim.port());

    QCOMPARE(int(fx.link.LeadInOut(s.Key, s.Encrypt, nullptr, true)), int(crOk));
    QVERIFY(fx.sim.sessionOpen());
    QCOMPARE(fx.sim.commands().first().command, QByteArray::fromHex("5001FF0D040E09"));
    QCOMPARE(fx.link.LastCommand, QByteArray());   // session commands never become LastCommand
    QCOMPARE(fx.eventCodes(), QList<int>({105}));
    QCOMPARE(fx.events.first().second, fx.accountNumber());

    QCOMPARE(int(fx.link.LeadInOut(s.Key, s.Encrypt, nullptr, false)), int(crOk));
    QTRY_VERIFY(!fx.sim.sessionOpen());
    QCOMPARE(fx.sim.commands().last().command, QByteArray::fromHex("5003FF0D040E09"));
    QCOMPARE(fx.eventCodes(), QList<int>({105, 106}));
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
}

void TestSession::wrongKeyIsNoReply()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, kKey);
    fx.apply();
    // The module ignores what it cannot decrypt; the console times out.
    const QString wrong = QStringLiteral("FFEEDDCCBBAA99887766554433221100");
    QCOMPARE(int(fx.link.LeadInOut(wrong, true, nullptr, true)), int(crNoReply));
    QCOMPARE(fx.sim.commandCount(), 0);
    QCOMPARE(fx.eventCodes(), QList<int>({105, 107}));
}

void TestSession::rejectedLeadIn()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.link.InstallerCode = QStringLiteral("1234");   // the module holds D4E9
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crRejected));
    QVERIFY(!fx.link.SessionOpen);
    QCOMPARE(fx.eventCodes(), QList<int>({105, 107}));
    QCOMPARE(fx.sim.commandCount(), 1);   // nothing after the refused lead-in
}

void TestSession::unknownStatusGoesOnWithoutSession()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.sim.faults.leadInStatus = 3;
    fx.sim.faults.answerWithoutSession = true;
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.LeadInOut(QString(), false, nullptr, true)), int(crNoLink));
    fx.sim.clearLog();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 2, false, QString())), int(crOk));
    QVERIFY(!fx.link.SessionOpen);
    // each option leads in again, and no version check follows a status 03
    const QByteArray leadIn = QByteArray::fromHex("5001FF0D040E09");
    const QList<QByteArray> expected = {leadIn, QByteArray::fromHex("0008"), QByteArray::fromHex("000A"),
                                        leadIn, QByteArray::fromHex("0008"), QByteArray::fromHex("000A")};
    QCOMPARE(commandsOf(fx.sim), expected);
    QCOMPARE(list[0].KovraOptionTempValue, fx.sim.optionValue("001"));
    QCOMPARE(list[1].KovraOptionTempValue, fx.sim.optionValue("002"));
}

void TestSession::versionCheck_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("moduleVersion");
    QTest::addColumn<QString>("expectedAfter");
    QTest::newRow("0140 vs 0140") << "0140" << "0140" << int(crOk) << "" << "0140";
    QTest::newRow("0140 vs 0141") << "0140" << "0141" << int(crOk) << "" << "0140";
    QTest::newRow("0140 vs 0150") << "0140" << "0150" << int(crWrongVersion) << "015" << "0140";
    QTest::newRow("0140 vs 0130") << "0140" << "0130" << int(crWrongVersion) << "" << "0140";
    QTest::newRow("0130 vs 0140") << "0130" << "0140" << int(crUpdateRequired) << "014" << "0130";
    QTest::newRow("0000 vs 0140") << "0000" << "0140" << int(crUpdateRequired) << "014" << "010";
    // newer than the account and beyond what the console handles: wrong version wins
    QTest::newRow("0130 vs 0150") << "0130" << "0150" << int(crWrongVersion) << "015" << "0130";
}

void TestSession::versionCheck()
{
    QFETCH(QString, account);
    QFETCH(QString, module);
    QFETCH(int, result);
    QFETCH(QString, moduleVersion);
    QFETCH(QString, expectedAfter);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.link.ExpectedVersion = account;
    QVERIFY(fx.sim.setOptionValue("326", module));
    KovraOptionList list = fx.options();
    const int row001 = rowOf(list, "001");
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, row001, row001, false, QString())),
             result);
    QCOMPARE(fx.link.ModuleVersion, moduleVersion);
    QCOMPARE(fx.link.ExpectedVersion, expectedAfter);
    QCOMPARE(fx.link.SessionOpen, result == crOk);
    QCOMPARE(list[rowOf(list, "326") - 1].KovraOptionTempValue, module);
    // the option itself is read only after an accepted version
    const int locates = int(commandsOf(fx.sim).count(QByteArray::fromHex("0008")));
    QCOMPARE(locates, result == crOk ? 2 : 1);
    QCOMPARE(fx.tempValue("326"), module);
}

void TestSession::connectFailed()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    fx.link.setModuleHost("127.0.0.1", closedPort);
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crConnectFailed));
    QCOMPARE(dialogs.texts(), QStringList({"Cannot connect to the specified IP Address."}));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    QCOMPARE(fx.eventCodes(), QList<int>({105, 107}));
    // not shown a second time while the first notice is on screen
    QCOMPARE(int(fx.link.LeadInOut(QString(), false, nullptr, true)), int(crConnectFailed));
    QCOMPARE(dialogs.texts().size(), 1);
}

void TestSession::leadOutWithoutLink()
{
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx;
    fx.apply();
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    fx.link.setModuleHost("127.0.0.1", closedPort);
    QCOMPARE(int(fx.link.LeadInOut(QString(), false, nullptr, false)), int(crConnectFailed));
    QCOMPARE(fx.eventCodes(), QList<int>({107}));
    QVERIFY(trace.lines().contains("Lead Out Sent Unsuccesfully"));
    QVERIFY(!trace.has("Creating READ Timeout Thread"));   // a lead-out never waits
}

void TestSession::sessionKeyRule_data()
{
    QTest::addColumn<QString>("key004");
    QTest::addColumn<QString>("key005");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("key");
    const QString zero(16, '0');
    QTest::newRow("both zero") << zero << zero << false << QString();
    QTest::newRow("both missing") << QString() << QString() << false << QString();
    QTest::newRow("first only") << "0123456789ABCDEF" << zero << true << "0123456789ABCDEF" + zero;
    QTest::newRow("second only") << zero << "0123456789ABCDEF" << true << zero + "0123456789ABCDEF";
    QTest::newRow("second only, first missing") << QString() << "0123456789ABCDEF" << true << zero + "0123456789ABCDEF";
    QTest::newRow("both") << "0123456789ABCDEF" << "FEDCBA9876543210" << true << "0123456789ABCDEFFEDCBA9876543210";
}

void TestSession::sessionKeyRule()
{
    QFETCH(QString, key004);
    QFETCH(QString, key005);
    QFETCH(bool, encrypt);
    QFETCH(QString, key);
    bool e = !encrypt;
    QString k = QStringLiteral("untouched");
    BuildSessionKey(key004, key005, &e, &k);
    QCOMPARE(e, encrypt);
    QCOMPARE(k, key);
}

void TestSession::linkSettingsWithMissingRows()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    LinkSettings s = fx.apply();
    QCOMPARE(s.ModuleHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(s.InstallerCode, QStringLiteral("D4E9"));
    QCOMPARE(s.ExpectedVersion, QStringLiteral("0140"));
    QCOMPARE(fx.link.ConsolePort(fx.accountId()), int(fx.sim.port()));
    QCOMPARE(fx.link.ModuleAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(fx.link.currentAccountNumber(), fx.accountNumber());
    QSqlQuery q(fx.db());
    QVERIFY(q.exec("DELETE FROM tblKovraOptions WHERE OptionNumber IN ('013', '006', '326')"));
    fx.link.InstallerCode = QStringLiteral("B7D2");
    s = fx.apply();
    QCOMPARE(s.ModulePort, quint16(3064));
    QCOMPARE(fx.link.ConsolePort(fx.accountId()), 3064);
    QVERIFY(!s.hasInstallerCode);
    QCOMPARE(fx.link.InstallerCode, QStringLiteral("B7D2"));   // kept when the row is missing
    QCOMPARE(fx.link.ExpectedVersion, QString());
    QCOMPARE(fx.link.moduleHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(fx.link.modulePort(), quint16(3064));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
