// Module reset and the encryption-key change through old, intermediate and new keys.
#include "KeyChange.h"
#include "ModuleSimFixture.h"
#include "ScriptedDialogs.h"
#include "TraceCapture.h"

#include <QtTest>

using namespace kovra;

namespace {
const QString kZero(32, QLatin1Char('0'));
const QString kKeyA = QStringLiteral("00112233445566778899AABBCCDDEEFF");
const QString kKeyB = QStringLiteral("0F1E2D3C4B5A69788796A5B4C3D2E1F0");
} // namespace

class TestKeyChange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resetWritesOneByteAndWaitsForNothing_data();
    void resetWritesOneByteAndWaitsForNothing();
    void resetWithoutLocateReply();
    void keyChange_data();
    void keyChange();
    void keyChangeFailsLeavesDatabase_data();
    void keyChangeFailsLeavesDatabase();
    void malformedNewKeyRefused();
};

void TestKeyChange::resetWritesOneByteAndWaitsForNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("unencrypted") << QString();
    QTest::newRow("encrypted") << kKeyA;
}

void TestKeyChange::resetWritesOneByteAndWaitsForNothing()
{
    QFETCH(QString, key);
    ScriptedDialogs dialogs;
    TraceCapture trace;
    ModuleSimFixture fx(Generation::V14, key);
    const LinkSettings s = fx.apply();
    // a reset comes at the end of a programming run, inside its session
    QCOMPARE(int(fx.link.LeadInOut(s.Key, s.Encrypt, nullptr, true)), int(crOk));
    fx.sim.clearLog();
    fx.events.clear();
    trace.clear();
    dialogs.clear();
    QCOMPARE(int(fx.link.ResetModule(s.Key, s.Encrypt)), int(crOk));
    QTRY_COMPARE(fx.sim.resets(), 1);
    QCOMPARE(fx.sim.commandCount(), 2);   // no lead-in: Locate 3E7, then the write
    QCOMPARE(fx.sim.commands()[0].data, QByteArray::fromHex("03E7"));
    const SimCommand write = fx.sim.commands()[1];
    QCOMPARE(write.command, QByteArray::fromHex("000C"));
    QCOMPARE(write.data.mid(2), QByteArray::fromHex("55"));
    QCOMPARE(trace.count("Creating READ Timeout Thread "), 1);   // only the Locate reply is awaited
    QCOMPARE(fx.eventCodes(), QList<int>({105, 106}));
    QCOMPARE(dialogs.progressTexts().first(), QStringLiteral("Resetting Kovra."));
    QCOMPARE(dialogs.progressPercents().last(), 100);
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
}

void TestKeyChange::resetWithoutLocateReply()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.sim.faults.noReplyAfter = 0;
    QCOMPARE(int(fx.link.ResetModule(QString(), false)), int(crNoReply));
    QCOMPARE(fx.sim.resets(), 0);
    QCOMPARE(fx.eventCodes(), QList<int>({105, 107}));
}

void TestKeyChange::keyChange_data()
{
    QTest::addColumn<QString>("oldKey");
    QTest::addColumn<QString>("newKey");
    QTest::newRow("from the zero key") << kZero << kKeyA;
    QTest::newRow("to the zero key") << kKeyA << kZero;
    QTest::newRow("between two keys") << kKeyA << kKeyB;
    // intermediate key N1 + O2 is all zero: that acknowledgement is unencrypted
    QTest::newRow("intermediate zero") << QString(16, '0') + kKeyA.mid(16) << kKeyA.left(16) + QString(16, '0');
}

void TestKeyChange::keyChange()
{
    QFETCH(QString, oldKey);
    QFETCH(QString, newKey);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, oldKey);
    const LinkSettings s = fx.apply();
    int edited = 0;
    const CommResult r = ProgramEncryptionKey(fx.link, fx.db(), fx.accountId(), s.Encrypt ? s.Key : QString(), newKey,
                                              [&] { ++edited; });
    QCOMPARE(int(r), int(crOk));
    QCOMPARE(fx.sim.key(), newKey);
    QCOMPARE(fx.accountKey(), newKey);
    QCOMPARE(fx.optionValue("004"), newKey.left(16));
    QCOMPARE(fx.optionValue("005"), newKey.mid(16));
    QCOMPARE(edited, 1);
    QCOMPARE(dialogs.progressTexts().first(), QStringLiteral("Changing Encryption Key. Please wait..."));
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
    // The next programming run uses the stored key and the module accepts it.
    const LinkSettings after = fx.apply();
    fx.link.SessionOpen = false;
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, after.Encrypt, after.Key)),
             int(crOk));
    QCOMPARE(after.Encrypt, newKey != kZero);
}

void TestKeyChange::keyChangeFailsLeavesDatabase_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("writesDone");
    QTest::newRow("module holds another key") << "wrong key" << 0;
    QTest::newRow("first acknowledgement lost") << "silent after 2" << 1;
    QTest::newRow("second acknowledgement lost") << "silent after 4" << 2;
}

void TestKeyChange::keyChangeFailsLeavesDatabase()
{
    QFETCH(QString, failure);
    QFETCH(int, writesDone);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, kKeyA);
    const LinkSettings s = fx.apply();
    if (failure == "wrong key")
        fx.sim.setKey(kKeyB);
    else
        fx.sim.faults.noReplyAfter = failure.right(1).toInt();   // lead-in, Locate 004, Write 004, Locate 005, Write 005
    int edited = 0;
    QCOMPARE(int(ProgramEncryptionKey(fx.link, fx.db(), fx.accountId(), s.Key, kKeyB.left(16) + kKeyA.left(16),
                                      [&] { ++edited; })),
             int(crNoReply));
    QCOMPARE(fx.accountKey(), kKeyA);
    QCOMPARE(fx.optionValue("004"), kKeyA.left(16));
    QCOMPARE(fx.optionValue("005"), kKeyA.mid(16));
    QCOMPARE(edited, 0);
    QCOMPARE(fx.eventCodes().last(), 107);
    int writes = 0;
    for (const SimCommand &c : fx.sim.commands())
        writes += c.command == QByteArray::fromHex("000C");
    QCOMPARE(writes, writesDone);
    // the module keeps what it took in: the intermediate or already the new key
    if (writesDone == 1)
        QCOMPARE(fx.sim.key(), kKeyB.left(16) + kKeyA.mid(16));
    if (writesDone == 2)
        QCOMPARE(fx.sim.key(), kKeyB.left(16) + kKeyA.left(16));
}

void TestKeyChange::malformedNewKeyRefused()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    QCOMPARE(int(fx.link.ChangeEncryptionKey("Changing Encryption Key. Please wait...", QString(16, '0'),
                                             QString(16, '0'), "0123456789ABCDEG", QString(16, '1'))),
             int(crNoLink));
    QCOMPARE(fx.sim.commandCount(), 0);
    QCOMPARE(dialogs.shown().size(), 1);
}

QTEST_GUILESS_MAIN(TestKeyChange)
#include "tst_keychange.moc"
