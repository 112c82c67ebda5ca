// Sending and waiting: session re-request, faulty replies, time-outs, Cancel,
// and replies that arrive in pieces.
#include "Framing.h"
#include "ModuleSimFixture.h"
#include "ScriptedDialogs.h"
#include "TraceCapture.h"

#include <QtTest>

using namespace kovra;

namespace {
QList<QByteArray> commandsOf(const ModuleSimulator &sim)
{
    QList<QByteArray> out;
    for (const SimCommand &c : sim.commands())
        out << c.command;
    return out;
}
const QByteArray kLeadIn = QByteArray::fromHex("5001FF0D040E09");
const QByteArray kLocate = QByteArray::fromHex("0008");
const QByteArray kRead = QByteArray::fromHex("000A");
} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reRequestLeadsInAndResendsOnce();
    void reRequestDuringBlockRead();
    void endlessReRequestFailsTheWait();
    void faultyReply_data();
    void faultyReply();
    void lateReplyOfOtherCommandFails();
    void closedConnectionIsNoReply();
    void cancelEndsBlockedRead();
    void replySplitAcrossSegments_data();
    void replySplitAcrossSegments();
    void traceLinesOfOneExchange();
};

void TestTransport::reRequestLeadsInAndResendsOnce()
{
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx;
    fx.apply();
    fx.link.SessionOpen = true;   // the console thinks a session is open; the module does not
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())), int(crOk));
    QCOMPARE(commandsOf(fx.sim), QList<QByteArray>({kLocate, kLeadIn, kLocate, kRead}));
    QCOMPARE(fx.sim.commands()[2].data, QByteArray::fromHex("0001"));   // the option command is re-sent
    QCOMPARE(list[0].KovraOptionTempValue, fx.sim.optionValue("001"));
    QVERIFY(trace.lines().contains("Console Session Re-Request received"));
    QVERIFY(trace.lines().contains("ReLeadin Successful"));
    QCOMPARE(fx.link.LastCommand, QByteArray::fromHex("000A"));
    QCOMPARE(dialogs.progressTexts().last(), QStringLiteral("Getting Option. Please wait..."));
}

void TestTransport::reRequestDuringBlockRead()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    // lead-in, version check (2), then the first block's Read is answered by a re-request
    fx.sim.faults.reRequestAt = 5;
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetAllOptions(list, "Getting All Options. Please wait...", false, 0, 0, false, QString())),
             int(crOk));
    const QList<QByteArray> cmds = commandsOf(fx.sim);
    QCOMPARE(cmds.mid(3, 4), QList<QByteArray>({kLocate, kRead, kLeadIn, kRead}));
    QCOMPARE(fx.sim.commands()[6].data, fx.sim.commands()[4].data);
    for (const KovraOptionRow &r : list)
        if (r.OptionNumber != "385")
            QCOMPARE(r.KovraOptionTempValue, fx.sim.optionValue(r.OptionNumber));
}

void TestTransport::endlessReRequestFailsTheWait()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.link.SessionOpen = true;
    fx.sim.faults.leadInStatus = 0;
    // the module accepts the lead-in but still asks again for the re-sent command
    fx.sim.faults.reRequestAt = 1;
    QObject::connect(&fx.sim, &ModuleSimulator::commandReceived, [&fx] {
        if (fx.sim.commandCount() == 2)
            fx.sim.faults.reRequestAt = 3;
    });
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crNoReply));
    QCOMPARE(commandsOf(fx.sim), QList<QByteArray>({kLocate, kLeadIn, kLocate}));
}

void TestTransport::faultyReply_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("bad checksum") << "checksum";
    QTest::newRow("wrong reply command") << "wrong";
    QTest::newRow("no reply") << "silent";
}

void TestTransport::faultyReply()
{
    QFETCH(QString, fault);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    // command 4 is the Locate of the option after lead-in and version check
    if (fault == "checksum")
        fx.sim.faults.badChecksumAt = 4;
    else if (fault == "wrong")
        fx.sim.faults.wrongReplyAt = 4;
    else
        fx.sim.faults.noReplyAfter = 3;
    KovraOptionList list = fx.options();
    const QString before = list[0].KovraOptionTempValue;
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crNoReply));
    QCOMPARE(fx.sim.commandCount(), 4);   // nothing is retried
    QCOMPARE(list[0].KovraOptionTempValue, before);
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
}

void TestTransport::lateReplyOfOtherCommandFails()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    QCOMPARE(int(fx.link.LeadInOut(QString(), false, nullptr, true)), int(crOk));
    fx.sim.faults.delayMs = 700;   // longer than the read timer of the fixture
    QCOMPARE(int(fx.link.SendCommand(kLocate, OptionAddress("001"), false, QString())), int(crOk));
    TdmdCommunication::Reply r;
    QVERIFY(!fx.link.WaitForResponse(QByteArray::fromHex("0009"), false, QString(), r));
    // the Locate reply arrives now, while the console waits for the (still later) Read reply
    QCOMPARE(int(fx.link.SendCommand(kRead, QByteArray::fromHex("010004"), false, QString())), int(crOk));
    r.ASize = 4;
    QVERIFY(!fx.link.WaitForResponse(QByteArray::fromHex("000B"), false, QString(), r));
    QVERIFY(r.AData.isEmpty());
}

void TestTransport::closedConnectionIsNoReply()
{
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx;
    fx.apply();
    fx.sim.faults.closeAt = 2;   // drops the link on the version check's Locate
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crNoReply));
    QVERIFY(trace.has("WaitForResponse Read Exception  "));
    QVERIFY(!fx.link.SessionOpen);
}

void TestTransport::cancelEndsBlockedRead()
{
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx;
    fx.apply();
    fx.link.setReadTimeout(10000);
    fx.link.setWatchdogTimeout(10000);
    fx.sim.faults.noReplyAfter = 0;   // the lead-in is never answered
    dialogs.cancelProgressAfter(5);
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())),
             int(crCancelled));
    // the read was ended by Cancel closing the link, not by a timer
    QVERIFY(trace.lines().contains("TimeoutThread forcing DISCONNECT"));
    QVERIFY(trace.lines().contains("WaitForResponse Read Exception  Cancelled"));
    QVERIFY(!trace.lines().contains("*tic*"));
    QCOMPARE(fx.eventCodes(), QList<int>({105}));   // a cancelled lead-in is no failure
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
}

void TestTransport::replySplitAcrossSegments_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("piece");
    QTest::newRow("1-byte pieces") << QString() << 1;
    QTest::newRow("3-byte pieces, encrypted") << QStringLiteral("00112233445566778899AABBCCDDEEFF") << 3;
    QTest::newRow("17-byte pieces") << QString() << 17;
}

void TestTransport::replySplitAcrossSegments()
{
    QFETCH(QString, key);
    QFETCH(int, piece);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, key);
    const LinkSettings s = fx.apply();
    fx.link.setReadTimeout(5000);
    fx.link.setWatchdogTimeout(5000);
    fx.sim.faults.splitReplies = piece;
    QVERIFY(fx.sim.setOptionValue("01A", QString(60, 'm') + "@x.y"));
    KovraOptionList list = fx.options();
    // 001 (4 bytes) and 01A (64 bytes: the longest reply there is)
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, s.Encrypt, s.Key)), int(crOk));
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 0x1A, 0x1A, s.Encrypt, s.Key)),
             int(crOk));
    QCOMPARE(list[0].KovraOptionTempValue, fx.sim.optionValue("001"));
    QCOMPARE(list[0x19].KovraOptionTempValue, QString(60, 'm') + "@x.y");
}

void TestTransport::traceLinesOfOneExchange()
{
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx;
    fx.apply();
    QCOMPARE(int(fx.link.LeadInOut(QString(), false, nullptr, true)), int(crOk));
    const QStringList l = trace.lines();
    const QString sent = "Remote Data Sent: " + HexDump(BuildTransportUnit(
        BuildEnvelope("D4E9", StuffFrame(BuildPacket(kLeadIn, QByteArray()))), false, QString()));
    QVERIFY2(l.contains(sent), qPrintable(l.join('\n')));
    const QStringList order = {"Creating WRITE Timeout Thread", "Stopping WRITE Timeout Thread", "WRITE Thread Stopped",
                               "Creating READ Timeout Thread ", "Stopping READ Timeout Thread", "READ Thread Stopped",
                               "VerifyDataReceived OK, ACommand  =  [50 02 ]", "VerifyDataReceived OK",
                               "LeadIn/Out ADATA = [00 ]"};
    int at = -1;
    for (const QString &line : order) {
        const int next = int(l.indexOf(line, at + 1));
        QVERIFY2(next > at, qPrintable("missing or out of order: " + line));
        at = next;
    }
    QVERIFY(trace.has("Received: First two bytes - [00] ["));
    QVERIFY(trace.has("Local Data Received: [7E "));
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
