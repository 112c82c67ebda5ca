// Byte layouts of the console protocol and the device form of option values.
#include "Cipher.h"
#include "Framing.h"
#include "OptionCodec.h"

#include <QtTest>

using namespace kovra;

static QByteArray H(const char *hex) { return QByteArray::fromHex(hex); }

class TestFraming : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void packetAndFrame_data();
    void packetAndFrame();
    void stuffingRoundTrip();
    void envelopeAndTransportUnit();
    void encryptedTransportUnit();
    void installerCodeBytes_data();
    void installerCodeBytes();
    void optionAddress_data();
    void optionAddress();
    void verifyFrame_data();
    void verifyFrame();
    void encodeDecode_data();
    void encodeDecode();
    void refusedValues_data();
    void refusedValues();
    void decodeEdges();
    void optionSizes_data();
    void optionSizes();
};

void TestFraming::packetAndFrame_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty data") << H("0000") << QByteArray() << H("000400000004") << H("7E0004000000047F");
    QTest::newRow("data byte 7E escaped, sum before escaping")
        << H("0008") << H("007E") << H("00060008007E008C") << H("7E00060008007D01008C7F");
    QTest::newRow("locate 326") << H("0008") << H("0326") << H("0006000803260037") << H("7E00060008032600377F");
    QTest::newRow("7D escaped first")
        << H("0008") << H("7D7F") << H("000600087D7F010A") << H("7E000600087D007D02010A7F");
    // sum 0x007E: the checksum's own 7E is escaped too
    QTest::newRow("checksum byte 7E") << H("0008") << H("7000") << H("000600087000007E")
                                      << H("7E000600087000007D017F");
    QTest::newRow("lead-in") << H("5001FF0D040E09") << QByteArray() << H("00095001FF0D040E090181")
                             << H("7E00095001FF0D040E0901817F");
}

void TestFraming::packetAndFrame()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, frame);
    QCOMPARE(BuildPacket(command, data).toHex(' '), packet.toHex(' '));
    QCOMPARE(StuffFrame(packet).toHex(' '), frame.toHex(' '));
    QCOMPARE(UnstuffFrame(frame).toHex(' '), (H("7E") + packet + H("7F")).toHex(' '));
    const QByteArray inner = StuffFrame(packet).mid(1, StuffFrame(packet).size() - 2);
    QVERIFY2(!inner.contains(char(0x7E)) && !inner.contains(char(0x7F)), "marks only at the ends");
}

void TestFraming::stuffingRoundTrip()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    const QByteArray frame = StuffFrame(all);
    QCOMPARE(frame.size(), 256 + 3 + 2);   // three escapes, two marks
    QCOMPARE(UnstuffFrame(frame).mid(1, 256), all);
}

void TestFraming::envelopeAndTransportUnit()
{
    const QByteArray frame = StuffFrame(BuildPacket(H("0000"), QByteArray()));
    const QByteArray env = BuildEnvelope(QStringLiteral("D4E9"), frame);
    QCOMPARE(env.toHex(' '), H("01D4E97E0004000000047F").toHex(' '));
    QCOMPARE(BuildTransportUnit(env, false, QString()).toHex(' '), H("000B01D4E97E0004000000047F").toHex(' '));
}

void TestFraming::encryptedTransportUnit()
{
    const QString key = QStringLiteral("000102030405060708090A0B0C0D0E0F");
    const QByteArray env = BuildEnvelope(QStringLiteral("D4E9"), StuffFrame(BuildPacket(H("0008"), H("0326"))));
    const QByteArray unit = BuildTransportUnit(env, true, key);
    QCOMPARE(unit.size(), 2 + 16);
    QCOMPARE(Be16At(unit, 0), 16);
    QByteArray body = unit.mid(2);
    QVERIFY(body != env.leftJustified(16, '\0'));
    CipherMessage(CipherMode::Decrypt, key, body);
    QCOMPARE(body, env + QByteArray(16 - env.size(), '\0'));   // zero padding
}

void TestFraming::installerCodeBytes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("envelopeBytes");
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("D4E9") << "D4E9" << H("D4E9") << H("0D040E09");
    QTest::newRow("lower case") << "b7d2" << H("B7D2") << H("0B070D02");
    QTest::newRow("non-hex pair") << "G4E9" << H("00E9") << H("00040E09");
    QTest::newRow("empty") << "" << H("0000") << H("00000000");
}

void TestFraming::installerCodeBytes()
{
    QFETCH(QString, code);
    QFETCH(QByteArray, envelopeBytes);
    QFETCH(QByteArray, digits);
    QCOMPARE(InstallerCodeBytes(code), envelopeBytes);
    QCOMPARE(InstallerCodeDigits(code), digits);
}

void TestFraming::optionAddress_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("address");
    QTest::newRow("00A") << "00A" << H("000A");
    QTest::newRow("326") << "326" << H("0326");
    QTest::newRow("3E7") << "3E7" << H("03E7");
    QTest::newRow("lower") << "01f" << H("001F");
    QTest::newRow("non-hex digit") << "3X6" << H("0306");
}

void TestFraming::optionAddress()
{
    QFETCH(QString, number);
    QFETCH(QByteArray, address);
    QCOMPARE(OptionAddress(number), address);
}

void TestFraming::verifyFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    const QByteArray good = StuffFrame(BuildPacket(H("0009"), H("0326070ABC02")));
    QTest::newRow("good") << good << true;
    QByteArray badSum = good;
    badSum[badSum.size() - 2] = char(badSum[badSum.size() - 2] ^ 1);
    QTest::newRow("bad sum") << badSum << false;
    QTest::newRow("sum byte 7E escaped") << H("7E000600087000007D017F") << true;
    QTest::newRow("no end mark") << good.left(good.size() - 1) << false;
    QTest::newRow("length beyond frame") << H("7E00400009000000497F") << false;
    QTest::newRow("too short") << H("7E7F") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestFraming::verifyFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);
    QCOMPARE(VerifyFrame(frame).valid, valid);
}

void TestFraming::encodeDecode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("01 address") << 1 << "192.168.0.99" << H("C0A80063") << "192.168.0.99";
    QTest::newRow("02 port") << 2 << "3064" << H("0BF8") << "3064";
    QTest::newRow("02 max") << 2 << "65535" << H("FFFF") << "65535";
    QTest::newRow("03 input type") << 3 << "99" << H("99") << "99";
    QTest::newRow("03 not hex") << 3 << "ZZ" << H("00") << "00";
    QTest::newRow("04 byte") << 4 << "0F" << H("0F") << "0F";
    QTest::newRow("04 reset byte") << 4 << "55" << H("55") << "55";
    QTest::newRow("05 flag") << 5 << "1" << H("01") << "1";
    QTest::newRow("05 wide") << 5 << "A" << H("0A") << "A";
    QTest::newRow("06 decimal 12") << 6 << "12" << H("0C") << "0C";
    QTest::newRow("06 not a number") << 6 << "x" << H("00") << "00";
    QTest::newRow("07 installer") << 7 << "D4E9" << H("D4E9") << "D4E9";
    QTest::newRow("07 version") << 7 << "140" << H("0140") << "0140";
    QTest::newRow("08 short text padded")
        << 8 << "a@b.c" << (QByteArray("a@b.c") + QByteArray(59, '\0')) << "a@b.c";
    QTest::newRow("08 full 64") << 8 << QString(64, 'x') << QByteArray(64, 'x') << QString(64, 'x');
    QTest::newRow("08 empty") << 8 << "" << QByteArray(64, '\0') << "";
    QTest::newRow("09 text") << 9 << "abc" << (QByteArray("abc") + QByteArray(17, '\0')) << "abc";
    QTest::newRow("10 key half") << 10 << "0123456789ABCDEF" << H("0123456789ABCDEF") << "0123456789ABCDEF";
    QTest::newRow("10 lower case") << 10 << "0123456789abcdef" << H("0123456789ABCDEF") << "0123456789ABCDEF";
    QTest::newRow("10 bad pair") << 10 << "ZZ23456789ABCDEF" << H("0023456789ABCDEF") << "0023456789ABCDEF";
    QTest::newRow("11 ten digits") << 11 << "0000FFFFFF" << H("0000FFFFFF") << "0000FFFFFF";
    QTest::newRow("11 eight digits") << 11 << "12345678" << H("0012345678") << "0012345678";
    QTest::newRow("12 MAC") << 12 << "02C0DE000000" << H("02C0DE000000") << "02C0DE000000";
    QTest::newRow("13 password") << 13 << "secret" << (QByteArray("secret") + QByteArray(26, '\0')) << "secret";
    QTest::newRow("14 text") << 14 << "sixteen chars ok" << QByteArray("sixteen chars ok") << "sixteen chars ok";
    QTest::newRow("15 text") << 15 << "eight" << (QByteArray("eight") + QByteArray(3, '\0')) << "eight";
    QTest::newRow("15 Latin-1") << 15 << QString::fromUtf8("caf\xc3\xa9") << (QByteArray("caf\xe9") + QByteArray(4, '\0'))
                                << QString::fromUtf8("caf\xc3\xa9");
}

void TestFraming::encodeDecode()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);
    QByteArray out;
    QString reason;
    QVERIFY2(EncodeOptionBytes(text, code, &out, &reason), qPrintable(reason));
    QCOMPARE(out.toHex(' '), bytes.toHex(' '));
    QCOMPARE(out.size(), OptionSizeForCode(code));
    QCOMPARE(DecodeOptionBytes(bytes, code), readBack);
}

void TestFraming::refusedValues_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("08 65 characters") << 8 << QString(65, 'x');
    QTest::newRow("09 21 characters") << 9 << QString(21, 'x');
    QTest::newRow("13 33 characters") << 13 << QString(33, 'x');
    QTest::newRow("14 17 characters") << 14 << QString(17, 'x');
    QTest::newRow("15 9 characters") << 15 << QString(9, 'x');
    QTest::newRow("15 not Latin-1") << 15 << QString::fromUtf8("\xe2\x82\xac");
    QTest::newRow("01 octet 256") << 1 << "192.168.0.256";
    QTest::newRow("01 three parts") << 1 << "192.168.0";
    QTest::newRow("02 not a number") << 2 << "port";
    QTest::newRow("02 too big") << 2 << "65536";
    QTest::newRow("04 two bytes") << 4 << "1FF";
    QTest::newRow("06 256") << 6 << "256";
    QTest::newRow("07 five digits") << 7 << "1FFFF";
    QTest::newRow("unknown code") << 16 << "x";
}

void TestFraming::refusedValues()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QByteArray out("untouched");
    QString reason;
    QVERIFY(!EncodeOptionBytes(text, code, &out, &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(out, QByteArray("untouched"));
}

void TestFraming::decodeEdges()
{
    QCOMPARE(DecodeOptionBytes(QByteArray(), 1), QString());
    QCOMPARE(DecodeOptionBytes(QByteArray(4, '\0'), 1), QStringLiteral("0.0.0.0"));
    QCOMPARE(DecodeOptionBytes(H("41"), 99), QString());
    // text stops at the first zero byte even with bytes after it
    QCOMPARE(DecodeOptionBytes(QByteArray("ab\0cd", 5) + QByteArray(59, 'z'), 8), QStringLiteral("ab"));
}

void TestFraming::optionSizes_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("size");
    QTest::newRow("001 address") << "001" << 4;
    QTest::newRow("003 account code") << "003" << 5;
    QTest::newRow("004 key half") << "004" << 8;
    QTest::newRow("01A e-mail") << "01A" << 64;
    QTest::newRow("020 password") << "020" << 32;
    QTest::newRow("325 MAC") << "325" << 6;
    QTest::newRow("lower case") << "01a" << 64;
    QTest::newRow("not in catalogue") << "049" << -1;
    QTest::newRow("reset pseudo-option") << "3E7" << -1;
}

void TestFraming::optionSizes()
{
    QFETCH(QString, number);
    QFETCH(int, size);
    QCOMPARE(OptionSize(number), size);
}

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
