#include "OptionCatalogue.h"

#include <QtTest>

using namespace kovra;

class TestCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generations_data();
    void generations();
    void linesFollowTheWordRule();
    void newestEntries_data();
    void newestEntries();
    void generatedRanges();
    void indexOf_data();
    void indexOf();
    void displayNumbers_data();
    void displayNumbers();
    void generationCodes();
    void groups();
    void encodeValue_data();
    void encodeValue();
    void inputTypesAndMasks();
};

void TestCatalogue::generations_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("lastUser");
    QTest::addColumn<QString>("subnet");
    QTest::addColumn<QString>("installer");
    QTest::addColumn<QString>("version");
    QTest::newRow("1.0x") << "010" << 79 << "042" << "255.255.255.0" << "B7D2" << "0100";
    QTest::newRow("1.1x") << "011" << 81 << "044" << "255.255.0.0" << "B7D2" << "0110";
    QTest::newRow("1.2x") << "012" << 84 << "047" << "255.255.0.0" << "D4E9" << "0120";
    QTest::newRow("1.3x") << "013" << 84 << "047" << "255.255.0.0" << "D4E9" << "0130";
    QTest::newRow("1.4x") << "014" << 85 << "048" << "255.255.0.0" << "D4E9" << "0140";
}

void TestCatalogue::generations()
{
    QFETCH(QString, code);
    QFETCH(int, entries);
    QFETCH(QString, lastUser);
    Generation g;
    QVERIFY(GenerationFromCode(code, &g));
    QCOMPARE(GenerationCode(g), code);
    const auto &list = CatalogueEntries(g);
    QCOMPARE(list.size(), entries);
    QCOMPARE(CatalogueLines(g).size(), entries + 1);

    QHash<QString, QString> defaults;
    QString lastUserSeen;
    int previous = -1;
    for (const auto &e : list) {
        const int n = e.OptionNumber.toInt(nullptr, 16);
        QVERIFY2(n > previous, qPrintable(e.OptionNumber));   // ascending, no duplicates
        previous = n;
        if (n < 0x100)
            lastUserSeen = e.OptionNumber;
        defaults.insert(e.OptionNumber, e.OptionDefault);
    }
    QCOMPARE(lastUserSeen, lastUser);
    QCOMPARE(list.first().OptionNumber, QString("001"));
    QCOMPARE(list.last().OptionNumber, QString("385"));
    // Module options are present in every generation.
    for (const char *n : {"321", "325", "326", "32C", "385"})
        QVERIFY2(defaults.contains(n), n);
    QTEST(defaults.value("002"), "subnet");
    QTEST(defaults.value("006"), "installer");
    QTEST(defaults.value("326"), "version");
    QCOMPARE(GenerationVersion(g), defaults.value("326"));
    // Options after the last user option do not exist.
    QCOMPARE(defaults.contains("043"), lastUser >= "043");
    QCOMPARE(defaults.contains("048"), lastUser == "048");
    // The rest is the newest catalogue unchanged.
    for (const auto &e : list) {
        const CatalogueEntry *n = FindCatalogueEntry(e.OptionNumber);
        QVERIFY(n);
        QCOMPARE(e.OptionName, n->OptionName);
        QCOMPARE(e.OptionDescription, n->OptionDescription);
        QCOMPARE(e.OptionTypeValidation, n->OptionTypeValidation);
        QCOMPARE(e.OptionEffect, n->OptionEffect);
        QCOMPARE(e.OptionPanelType, n->OptionPanelType);
    }
}

void TestCatalogue::linesFollowTheWordRule()
{
    const QStringList &lines = CatalogueLines(Generation::V14);
    QCOMPARE(lines.first(),
             QString("OptionNumber*OptionName*OptionPanelType*OptionType and Validation*"
                     "OptionDefault*OptionEffect*Option Description*"));
    for (int i = 1; i < lines.size(); ++i) {
        const QString &l = lines[i];
        QVERIFY2(l.endsWith('*'), qPrintable(l));
        QVERIFY2(!l.contains("**"), qPrintable(l));   // no empty field
        QCOMPARE(l.count('*'), 7);
        QCOMPARE(SplitWords(l).size(), 7);
    }
    // Text defaults are one blank in the line and empty once read.
    const QString email = lines[CatalogueIndexOf("01A")];
    QCOMPARE(email, QString("01A*EMail1*NA*08* *Immediate*Email address 1*"));
    QCOMPARE(FindCatalogueEntry("01A")->OptionDefault, QString(""));
    // Panel "two blanks" stays two blanks.
    QCOMPARE(lines[CatalogueIndexOf("003")], QString("003*AccountCode*  *11*0000FFFFFF*Immediate*Kovra KV5xx Account Code*"));

    // Word() agrees with SplitWords() and skips runs and leading separators.
    QCOMPARE(Word("**a***b*c", 1), QString("a"));
    QCOMPARE(Word("**a***b*c", 2), QString("b"));
    QCOMPARE(Word("**a***b*c", 3), QString("c"));
    QCOMPARE(Word("**a***b*c", 4), QString());
    QCOMPARE(Word("a*b", 0), QString());
    QCOMPARE(SplitWords("**a***b*c*"), QStringList({"a", "b", "c"}));
}

void TestCatalogue::newestEntries_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("validation");
    QTest::addColumn<QString>("def");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("description");
    QTest::newRow("001") << "001" << "IP_Address" << "30" << "01" << "192.168.0.99" << "Reset"
                         << "Kovra KV5xx IP address. If set to 0.0.0.0, DHCP is used";
    QTest::newRow("003") << "003" << "AccountCode" << "  " << "11" << "0000FFFFFF" << "Immediate"
                         << "Kovra KV5xx Account Code";
    QTest::newRow("004") << "004" << "EncryptKey1" << "NA" << "10" << "0000000000000000" << "Reset"
                         << "Receiver encryption password Part 1";
    QTest::newRow("014") << "014" << "TFTPPort" << "11" << "02" << "69" << "Immediate" << "TFTP Port";
    QTest::newRow("020") << "020" << "SMTPPassword" << "NA" << "13" << "" << "Immediate" << "Email password";
    QTest::newRow("031") << "031" << "InputCfg02-04" << "00" << "05" << "0" << "Immediate"
                         << "Digital Input 02 - 04 Configuration";
    QTest::newRow("040") << "040" << "RestoralDelayTime" << "11" << "04" << "64" << "Immediate"
                         << "Minimum time bell must be silent (no activity)to restore bell burglary/fire";
    QTest::newRow("041") << "041" << "FirePulseCount" << "11" << "04" << "03" << "Reset"
                         << "Minimum number of fire On Time / Off Time cycles to generate bell fire alarm";
    QTest::newRow("043") << "043" << "DVACS Account" << "00" << "04" << "00" << "Reset"
                         << "DVACS ID code. Set to 0 to disable DVACS";
    QTest::newRow("048") << "048" << "HeartbeatInterval" << "00" << "04" << "0A" << "Reset"
                         << "HeartBeat Interval";
    QTest::newRow("325") << "325" << "MACAddress" << "NA" << "12" << "02C0DE000000" << "Immediate"
                         << "Board MAC Address";
    QTest::newRow("32C") << "32C" << "TFTPClientIP" << "30" << "01" << "0.0.0.0" << "Immediate"
                         << "TFTP Client IP address";
    QTest::newRow("385") << "385" << "CurrentIPAddress" << "30" << "01" << "0.0.0.0" << "Immediate"
                         << "Current IP Address";
}

void TestCatalogue::newestEntries()
{
    QFETCH(QString, number);
    const CatalogueEntry *e = FindCatalogueEntry(number);
    QVERIFY(e);
    QCOMPARE(e->OptionNumber, number);
    QTEST(e->OptionName, "name");
    QTEST(e->OptionPanelType, "panel");
    QTEST(e->OptionTypeValidation, "validation");
    QTEST(e->OptionDefault, "def");
    QTEST(e->OptionEffect, "effect");
    QTEST(e->OptionDescription, "description");
    QVERIFY(e->OptionName.size() <= 30);
    // 041's description is one longer than the old 75-character column: kept whole.
    if (number == "041")
        QCOMPARE(e->OptionDescription.size(), 76);
    QVERIFY(e->OptionDefault.size() <= 64);
}

void TestCatalogue::generatedRanges()
{
    // 024..02F and 032..03D are numbered in step with their names.
    for (int i = 1; i <= 12; ++i) {
        const QString nn = QString("%1").arg(i, 2, 10, QChar('0'));
        const CatalogueEntry *in = FindCatalogueEntry(QString("%1").arg(0x23 + i, 3, 16, QChar('0')).toUpper());
        QVERIFY(in);
        QCOMPARE(in->OptionName, "InputType" + nn);
        QCOMPARE(in->OptionDescription, "Digital Input " + nn + " Definition");
        QCOMPARE(in->OptionTypeValidation, QString("03"));
        QCOMPARE(in->OptionDefault, QString("00"));
        const CatalogueEntry *sia = FindCatalogueEntry(QString("%1").arg(0x31 + i, 3, 16, QChar('0')).toUpper());
        QVERIFY(sia);
        QCOMPARE(sia->OptionName, "SIACode" + nn);
        QCOMPARE(sia->OptionDescription, "Digital Input " + nn + " SIA Reporting Code");
        QCOMPARE(sia->OptionDefault, QString("FF"));
    }
    QCOMPARE(FindCatalogueEntry("02F")->OptionName, QString("InputType12"));
    QCOMPARE(FindCatalogueEntry("03D")->OptionName, QString("SIACode12"));
    // Every catalogue starts 001 onward without gaps: line n is option n.
    const auto &old = CatalogueEntries(Generation::V10);
    for (int n = 1; n <= 0x42; ++n)
        QCOMPARE(old[n - 1].OptionNumber.toInt(nullptr, 16), n);
}

void TestCatalogue::indexOf_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("line");
    QTest::newRow("first") << "001" << 1;
    QTest::newRow("upper") << "00A" << 10;
    QTest::newRow("lower") << "00a" << 10;
    QTest::newRow("last user") << "048" << 72;
    QTest::newRow("module") << "321" << 73;
    QTest::newRow("lower module") << "32c" << 84;
    QTest::newRow("last") << "385" << 85;
    QTest::newRow("missing") << "049" << 86;
    QTest::newRow("empty") << "" << 86;
    QTest::newRow("junk") << "zz*" << 86;
}

void TestCatalogue::indexOf()
{
    QFETCH(QString, number);
    QFETCH(int, line);
    QCOMPARE(CatalogueIndexOf(number), line);
    if (line < 86)
        QCOMPARE(Word(CatalogueLines(Generation::V14)[line], 1), number.toUpper());
    else
        QVERIFY(!FindCatalogueEntry(number));
}

void TestCatalogue::displayNumbers_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("display");
    QTest::newRow("001") << "001" << "001";
    QTest::newRow("00A") << "00A" << "010";
    QTest::newRow("01A") << "01A" << "026";
    QTest::newRow("326") << "326" << "806";
    QTest::newRow("385") << "385" << "901";
}

void TestCatalogue::displayNumbers()
{
    QFETCH(QString, number);
    QFETCH(QString, display);
    QCOMPARE(DisplayNumber(number), display);
    QCOMPARE(DisplayNumber(number.toLower()), display);
    QCOMPARE(OptionNumberFromDisplay(display), number);
    // Round trip over every catalogue entry.
    for (const auto &e : CatalogueEntries(Generation::V14))
        QCOMPARE(OptionNumberFromDisplay(DisplayNumber(e.OptionNumber)), e.OptionNumber);
    QCOMPARE(DisplayNumber("xyz"), QString());
    QCOMPARE(OptionNumberFromDisplay("8x6"), QString());
}

void TestCatalogue::generationCodes()
{
    QCOMPARE(GenerationCodeOfVersion("0140"), QString("014"));
    QCOMPARE(GenerationCodeOfVersion("0000"), QString("010"));
    QCOMPARE(GenerationCodeOfVersion("0005"), QString("010"));
    QCOMPARE(GenerationCodeOfVersion("0112"), QString("011"));
    Generation g;
    QVERIFY(!GenerationFromCode("015", &g));
    QVERIFY(!GenerationFromCode("", &g));
    QCOMPARE(TemplateGeneration("013"), Generation::V13);
    QCOMPARE(TemplateGeneration("015"), Generation::V10);
    QCOMPARE(TemplateGeneration("000"), Generation::V10);
    QCOMPARE(CatalogueEntries(TemplateGeneration("xyz")).size(), 79);
}

void TestCatalogue::groups()
{
    QSet<QString> readOnly, table, ports, mirrors;
    for (const auto &e : CatalogueEntries(Generation::V14)) {
        if (IsReadOnlyOption(e.OptionNumber)) readOnly << e.OptionNumber;
        if (IsReceiverTableOption(e.OptionNumber)) table << e.OptionNumber;
        if (IsLocalPortOption(e.OptionNumber)) ports << e.OptionNumber;
        if (IsAccountMirrorOption(e.OptionNumber)) mirrors << e.OptionNumber;
    }
    QCOMPARE(readOnly, QSet<QString>({"325", "326", "327", "328", "329", "32A", "32B", "32C", "385"}));
    QCOMPARE(table, QSet<QString>({"003", "004", "005", "007", "00B", "00F"}));
    QCOMPARE(ports, QSet<QString>({"009", "00D", "011", "013", "015", "016"}));
    QCOMPARE(mirrors, QSet<QString>({"001", "003", "004", "005", "006", "007", "008", "00A", "00B",
                                     "00C", "00F", "010", "013", "326"}));
    QVERIFY(IsReadOnlyOption("32a"));
    QVERIFY(!IsReadOnlyOption("324"));
    // Every local port is a 16-bit number option.
    for (const auto &n : ports)
        QCOMPARE(FindCatalogueEntry(n)->OptionTypeValidation, QString("02"));
}

void TestCatalogue::encodeValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("code");
    QTest::addColumn<uint>("number");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("01 address") << "192.168.0.99" << "01" << 0xC0A80063u << QByteArray();
    QTest::newRow("01 zero") << "0.0.0.0" << "01" << 0u << QByteArray();
    QTest::newRow("01 unreadable part") << "10.x.0.1" << "01" << 0x0A000001u << QByteArray();
    QTest::newRow("01 part out of range") << "300.1.2.3" << "01" << 0x00010203u << QByteArray();
    QTest::newRow("02 port") << "3064" << "02" << 3064u << QByteArray();
    QTest::newRow("02 max") << "65535" << "02" << 65535u << QByteArray();
    QTest::newRow("02 unreadable") << "abc" << "02" << 0u << QByteArray();
    QTest::newRow("02 out of range") << "70000" << "02" << 0u << QByteArray();
    QTest::newRow("03 input type hex") << "99" << "03" << 0x99u << QByteArray();
    QTest::newRow("04 byte") << "2D" << "04" << 0x2Du << QByteArray();
    QTest::newRow("04 lower") << "ff" << "04" << 0xFFu << QByteArray();
    QTest::newRow("04 unreadable") << "ZZ" << "04" << 0u << QByteArray();
    QTest::newRow("05 flag") << "1" << "05" << 1u << QByteArray();
    QTest::newRow("06 decimal") << "200" << "06" << 200u << QByteArray();
    QTest::newRow("06 out of range") << "256" << "06" << 0u << QByteArray();
    QTest::newRow("07 word") << "D4E9" << "07" << 0xD4E9u << QByteArray();
    QTest::newRow("07 unreadable") << "D4G9" << "07" << 0u << QByteArray();
    QTest::newRow("07 single digit code") << "003C" << "7" << 0x3Cu << QByteArray();
    QTest::newRow("08 text") << "a@b.c" << "08" << 0u << QByteArray("a@b.c");
    QTest::newRow("09 text") << "x y" << "09" << 0u << QByteArray("x y");
    QTest::newRow("10 key half") << "0123456789ABCDEF" << "10" << 0u << QByteArray("0123456789ABCDEF");
    QTest::newRow("11 ten digits") << "0102030405" << "11" << 0u << QByteArray::fromHex("0102030405");
    QTest::newRow("11 eight digits") << "12345678" << "11" << 0u << QByteArray::fromHex("0012345678");
    QTest::newRow("11 unreadable") << "00123G5678" << "11" << 0u << QByteArray(5, '\0');
    QTest::newRow("11 too long") << "001234567890" << "11" << 0u << QByteArray(5, '\0');
    QTest::newRow("12 mac") << "02C0DE0000FF" << "12" << 0u << QByteArray::fromHex("02C0DE0000FF");
    QTest::newRow("12 unreadable") << "02C0DE00Q0FF" << "12" << 0u << QByteArray(6, '\0');
    QTest::newRow("13 password") << "p*ss'" << "13" << 0u << QByteArray("p*ss'");
    QTest::newRow("14 text") << "abc" << "14" << 0u << QByteArray("abc");
    QTest::newRow("15 text") << "abcdefgh" << "15" << 0u << QByteArray("abcdefgh");
    QTest::newRow("unknown code") << "12" << "16" << 0u << QByteArray();
}

void TestCatalogue::encodeValue()
{
    QFETCH(QString, value);
    QFETCH(QString, code);
    const OptionValueParts p = EncodeOptionValue(value, code);
    QTEST(uint(p.number), "number");
    QTEST(p.bytes, "bytes");
}

void TestCatalogue::inputTypesAndMasks()
{
    const QStringList &types = InputTypeList();
    QCOMPARE(types.size(), 9);
    QCOMPARE(types.first(), QString("00 = Zone Disabled"));
    QCOMPARE(types[7], QString("99 = Bell Follower (BA/BH or FA/FH)"));
    QCOMPARE(types.last(), QString("98 = Panel Absent (ET/ER)"));
    // The stored value is the first two characters and must be a byte in hex.
    for (const auto &t : types) {
        QCOMPARE(t.mid(2, 3), QString(" = "));
        bool ok = false;
        t.left(2).toInt(&ok, 16);
        QVERIFY(ok);
    }
    QCOMPARE(TroubleMaskBits("021").size(), 8);
    QCOMPARE(TroubleMaskBits("021").first(), QString("Network Absent"));
    QCOMPARE(TroubleMaskBits("021").last(), QString("XM7201 Tamper"));
    QCOMPARE(TroubleMaskBits("022")[4], QString("Receiver 2 Absent"));
    QCOMPARE(TroubleMaskBits("022")[7], QString("N/A"));
    QVERIFY(TroubleMaskBits("023").isEmpty());
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
