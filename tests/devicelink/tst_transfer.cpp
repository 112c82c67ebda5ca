// Option transfers: block forming, single-option writes, the full write and
// verifying read, and values that must not reach the module.
#include "ModuleSimFixture.h"
#include "OptionCodec.h"
#include "ScriptedDialogs.h"

#include <QtTest>

using namespace kovra;

namespace {
int rowOf(const KovraOptionList &l, const QString &n)
{
    for (int i = 0; i < l.size(); ++i)
        if (l[i].OptionNumber == n)
            return i + 1;
    return 0;
}

// Byte counts of the Read commands (third data byte) or Write commands (data
// minus the address), in order.
QList<int> transferSizes(const ModuleSimulator &sim, const char *commandHex)
{
    const QByteArray cmd = QByteArray::fromHex(commandHex);
    QList<int> out;
    for (const SimCommand &c : sim.commands()) {
        if (c.command != cmd)
            continue;
        out << (cmd == QByteArray::fromHex("000A") ? int(std::uint8_t(c.data[2])) : int(c.data.size()) - 2);
    }
    return out;
}

QStringList locatedOptions(const ModuleSimulator &sim)
{
    QStringList out;
    for (const SimCommand &c : sim.commands())
        if (c.command == QByteArray::fromHex("0008"))
            out << QString::fromLatin1(c.data.toHex().toUpper()).mid(1);
    return out;
}
} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void getAllBlockSizes_data();
    void getAllBlockSizes();
    void setAllThenGetAllGivesDatabaseValues_data();
    void setAllThenGetAllGivesDatabaseValues();
    void setOptionsSkipsBoardDataAndKeyHalves();
    void setOptionsWritesStoredValue();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void setAllNoReplyWritesFailure();
    void progressWindowReleased();
};

void TestTransfer::getAllBlockSizes_data()
{
    QTest::addColumn<int>("generation");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("1.0x") << int(Generation::V10) << QList<int>({63, 17, 64, 64, 64, 4, 64, 64, 64, 2, 29});
    QTest::newRow("1.4x") << int(Generation::V14) << QList<int>({63, 17, 64, 64, 64, 4, 64, 64, 64, 8, 29});
}

void TestTransfer::getAllBlockSizes()
{
    QFETCH(int, generation);
    QFETCH(QList<int>, sizes);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx{Generation(generation)};
    const LinkSettings s = fx.apply();
    QCOMPARE(s.ExpectedVersion, GenerationVersion(Generation(generation)));
    // distinct values everywhere, so a misplaced byte shows
    QVERIFY(fx.sim.setOptionValue("001", "10.1.2.3"));
    QVERIFY(fx.sim.setOptionValue("01B", "second@example.com"));
    QVERIFY(fx.sim.setOptionValue("020", "pass"));
    QVERIFY(fx.sim.setOptionValue("042", "7E"));
    QVERIFY(fx.sim.setOptionValue("32C", "10.9.8.7"));
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetAllOptions(list, "Getting All Options. Please wait...", false, 0, 0, false, QString())),
             int(crOk));
    QCOMPARE(transferSizes(fx.sim, "000A").mid(1), sizes);   // the first Read is the version check
    // lead-in and version check (3 commands), then one Locate and one Read per block
    QCOMPARE(fx.sim.commandCount(), 3 + 2 * int(sizes.size()));
    for (const KovraOptionRow &r : list) {
        const QString expected = r.OptionNumber == "385" ? QStringLiteral("0.0.0.0") : fx.sim.optionValue(r.OptionNumber);
        QCOMPARE(r.KovraOptionTempValue, expected);
        QCOMPARE(fx.tempValue(r.OptionNumber), expected);
    }
    QCOMPARE(fx.sim.optionValue("385"), QStringLiteral("127.0.0.1"));   // never read by a block
    QVERIFY(!fx.link.CmdPortTCP()->isOpen());
    QVERIFY(fx.link.SessionOpen);
}

void TestTransfer::setAllThenGetAllGivesDatabaseValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("unencrypted") << QString();
    QTest::newRow("encrypted") << QStringLiteral("0123456789ABCDEF0011223344556677");
}

void TestTransfer::setAllThenGetAllGivesDatabaseValues()
{
    QFETCH(QString, key);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx(Generation::V14, key);
    const LinkSettings s = fx.apply();
    const QList<QPair<QString, QString>> changes = {
        {"001", "10.0.0.5"}, {"003", "0012345678"}, {"009", "4000"}, {"017", "1"},
        {"018", "00FF"}, {"01A", "alarm@example.com"}, {"01C", QString(64, 'f')}, {"020", "secret"},
        {"02F", "99"}, {"03D", "7D"}, {"048", "1E"}, {"321", "01"}, {"324", "10.0.0.9"},
    };
    for (const auto &c : changes)
        fx.setOptionValue(c.first, c.second);
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.SetAllOptions(list, "Setting All Options. Please wait...", false, 0, 0, s.Encrypt, s.Key)),
             int(crOk));
    QCOMPARE(transferSizes(fx.sim, "000C"), QList<int>({63, 17, 64, 64, 64, 4, 64, 64, 64, 8, 1, 1, 1, 4}));
    QCOMPARE(locatedOptions(fx.sim).mid(locatedOptions(fx.sim).size() - 4), QStringList({"321", "322", "323", "324"}));
    for (const auto &c : changes)
        QCOMPARE(fx.sim.optionValue(c.first), c.second);

    fx.sim.clearLog();
    list = fx.options();
    QCOMPARE(int(fx.link.GetAllOptions(list, "Verifying All Options. Please wait...", false, 0, 0, s.Encrypt, s.Key)),
             int(crOk));
    QCOMPARE(fx.sim.commandCount(), 22);   // the session is still open: no lead-in
    for (const KovraOptionRow &r : list) {
        if (r.OptionNumber == "385")
            continue;
        QCOMPARE(fx.tempValue(r.OptionNumber), fx.optionValue(r.OptionNumber));
    }
}

void TestTransfer::setOptionsSkipsBoardDataAndKeyHalves()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.setOptionValue("004", "FFFFFFFFFFFFFFFF");   // would change the module's key
    fx.setOptionValue("326", "0150");
    KovraOptionList list = fx.options();
    const int first = rowOf(list, "003");
    const int last = rowOf(list, "006");
    QCOMPARE(int(fx.link.SetOptions(list, "Setting Option. Please wait...", true, first, last, false, QString())),
             int(crOk));
    QCOMPARE(int(fx.link.SetOptions(list, "Setting Option. Please wait...", true, rowOf(list, "324"),
                                    rowOf(list, "328"), false, QString())),
             int(crOk));
    QStringList written = locatedOptions(fx.sim);
    written.removeAll("326");   // the version check's read
    QCOMPARE(written, QStringList({"003", "006", "324", "328"}));
    QCOMPARE(fx.sim.key(), QString(32, '0'));
    QCOMPARE(fx.sim.optionValue("326"), QStringLiteral("0140"));
    QVERIFY(fx.link.CmdPortTCP()->isOpen());   // left open for the verifying read
}

void TestTransfer::setOptionsWritesStoredValue()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    KovraOptionList list = fx.options();
    const int row = rowOf(list, "00A");
    list[row - 1].KovraOptionValue = "4321";
    QCOMPARE(int(fx.link.SetOptions(list, "Setting Option. Please wait...", true, row, row, false, QString())), int(crOk));
    QCOMPARE(fx.sim.optionValue("00A"), QStringLiteral("4321"));
    const QByteArray write = fx.sim.commands().last().data;
    QCOMPARE(write.mid(2), QByteArray::fromHex("10E1"));
    QCOMPARE(int(fx.link.GetOptions(list, "Verifying The Option. Please wait...", true, row, row, false, QString())),
             int(crOk));
    QCOMPARE(list[row - 1].KovraOptionTempValue, QStringLiteral("4321"));
}

void TestTransfer::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("named");
    QTest::newRow("set, e-mail 65 characters") << "set" << "01A" << QString(65, 'x') << "Option 026 (EMail1)";
    QTest::newRow("set-all, password 33 characters") << "set-all" << "020" << QString(33, 'x') << "Option 032 (SMTPPassword)";
    QTest::newRow("set-all, bad address") << "set-all" << "007" << "10.0.0.300" << "Option 007 (Receiver1IP)";
    QTest::newRow("set-all, system option") << "set-all" << "324" << "1.2.3" << "Option 804 (TftpServerIP)";
    QTest::newRow("set, not in catalogue") << "set" << "049" << "00" << "Option 073";
}

void TestTransfer::refusedBeforeSending()
{
    QFETCH(QString, operation);
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, named);
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.setOptionValue(option, value);
    KovraOptionList list = fx.options();
    int row = rowOf(list, option);
    if (row == 0) {   // an option the catalogue does not know
        KovraOptionRow extra;
        extra.Kovra_ID = fx.accountId();
        extra.OptionNumber = option;
        extra.KovraOptionValue = value;
        list.insert(0x48, extra);
        row = 0x49;
    }
    list[row - 1].KovraOptionValue = value;
    const CommResult r = operation == "set"
        ? fx.link.SetOptions(list, "Setting Option. Please wait...", true, 1, row, false, QString())
        : fx.link.SetAllOptions(list, "Setting All Options. Please wait...", false, 0, 0, false, QString());
    QCOMPARE(int(r), int(crNoLink));
    QCOMPARE(fx.sim.commandCount(), 0);
    QVERIFY(fx.events.isEmpty());
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(dialogs.lastText().startsWith(named), qPrintable(dialogs.lastText()));
    QVERIFY(dialogs.lastText().contains("Nothing was sent."));
}

void TestTransfer::setAllNoReplyWritesFailure()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    fx.sim.faults.noReplyAfter = 5;   // lead-in, version check, first block; the second Locate goes unanswered
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.SetAllOptions(list, "Setting All Options. Please wait...", false, 0, 0, false, QString())),
             int(crNoReply));
    QCOMPARE(fx.eventCodes(), QList<int>({105, 107}));
    QCOMPARE(transferSizes(fx.sim, "000C"), QList<int>({63}));
}

void TestTransfer::progressWindowReleased()
{
    ScriptedDialogs dialogs;
    ModuleSimFixture fx;
    fx.apply();
    KovraOptionList list = fx.options();
    QCOMPARE(int(fx.link.GetAllOptions(list, "Getting All Options. Please wait...", false, 0, 0, false, QString())),
             int(crOk));
    QCOMPARE(dialogs.progressTexts().first(), QStringLiteral("Getting All Options. Please wait..."));
    QVERIFY(dialogs.progressTexts().contains("Console Lead In"));
    QVERIFY(dialogs.progressTexts().contains("Version Check"));
    QVERIFY(dialogs.progressTexts().contains("Updating the Database."));
    QCOMPARE(dialogs.progressPercents().last(), 100);
    // a second operation opens a fresh window: the first one was released
    const int before = int(dialogs.progressTexts().size());
    QCOMPARE(int(fx.link.GetOptions(list, "Getting Option. Please wait...", true, 1, 1, false, QString())), int(crOk));
    QCOMPARE(dialogs.progressTexts().at(before), QStringLiteral("Getting Option. Please wait..."));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
