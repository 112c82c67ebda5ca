#include "Cipher.h"
#include "Trace.h"

#include <QtTest>

using namespace kovra;

class TestCipher : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fips197KnownAnswer();
    void lengths_data();
    void lengths();
    void decryptRejectsPartialBlock();
    void keyText_data();
    void keyText();
    void blocksAreIndependent();
    void zeroKeyRule_data();
    void zeroKeyRule();
    void hexDumpAndTrace();
};

void TestCipher::fips197KnownAnswer()
{
    // FIPS-197 Appendix C.1
    QByteArray msg = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QString key = "000102030405060708090A0B0C0D0E0F";
    QCOMPARE(CipherMessage(CipherMode::Encrypt, key, msg), 16);
    QCOMPARE(msg.toHex(), QByteArray("69c4e0d86a7b0430d8cdb78070b4c55a"));
    QCOMPARE(CipherMessage(CipherMode::Decrypt, key.toLower(), msg), 16);
    QCOMPARE(msg.toHex(), QByteArray("00112233445566778899aabbccddeeff"));
}

void TestCipher::lengths_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one") << 1 << 16;
    QTest::newRow("block") << 16 << 16;
    QTest::newRow("block+1") << 17 << 32;
    QTest::newRow("max") << 1040 << 1040;
}

void TestCipher::lengths()
{
    QFETCH(int, in);
    QFETCH(int, out);
    QByteArray msg(in, 'x');
    const QString key = "00112233445566778899AABBCCDDEEFF";
    QCOMPARE(CipherMessage(CipherMode::Encrypt, key, msg), out);
    CipherMessage(CipherMode::Decrypt, key, msg);
    // zero padding stays after decryption; the caller cuts it
    QCOMPARE(msg, QByteArray(in, 'x') + QByteArray(out - in, '\0'));
}

void TestCipher::decryptRejectsPartialBlock()
{
    QByteArray msg(20, 'a');
    try {
        CipherMessage(CipherMode::Decrypt, "00", msg);
        QFAIL("no error raised");
    } catch (const CipherError &e) {
        QCOMPARE(QString(e.what()), QString("Invalid buffer size for decryption"));
    }
}

void TestCipher::keyText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("16 digits fill 8 bytes")
        << "0123456789ABCDEF" << QByteArray::fromHex("0123456789abcdef0000000000000000");
    QTest::newRow("bad pair is zero")
        << "01ZZ03" << QByteArray::fromHex("01000300000000000000000000000000");
    QTest::newRow("odd digit ignored") << "123" << QByteArray::fromHex("12000000000000000000000000000000");
    QTest::newRow("longer than 32 cut")
        << "000102030405060708090A0B0C0D0E0FFF" << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
}

void TestCipher::keyText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CipherKeyBytes(text), bytes);
}

void TestCipher::blocksAreIndependent()
{
    QByteArray msg = QByteArray(16, 'A') + QByteArray(16, 'A');
    CipherMessage(CipherMode::Encrypt, "0F0E0D0C", msg);
    QCOMPARE(msg.left(16), msg.mid(16));
}

void TestCipher::zeroKeyRule_data()
{
    QTest::addColumn<QString>("k1");
    QTest::addColumn<QString>("k2");
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("both zero") << "0000000000000000" << "0000000000000000" << false;
    QTest::newRow("missing rows") << "" << "" << false;
    QTest::newRow("first set") << "0000000000000001" << "0000000000000000" << true;
    QTest::newRow("second set") << "0000000000000000" << "A000000000000000" << true;
}

void TestCipher::zeroKeyRule()
{
    QFETCH(QString, k1);
    QFETCH(QString, k2);
    QTEST(SessionEncrypted(k1, k2), "encrypted");
}

void TestCipher::hexDumpAndTrace()
{
    QCOMPARE(HexDump(QByteArray::fromHex("7e0004")), QString("[7E 00 04 ]"));
    QCOMPARE(HexDump(QByteArray()), QString("[]"));
    QStringList lines;
    SetTraceSink([&](const QString &l) { lines << l; });
    QByteArray msg = QByteArray::fromHex("01");
    CipherMessage(CipherMode::Encrypt, "", msg);
    SetTraceSink(nullptr);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("Message to Encrypt - [01 ]"));
    QVERIFY(lines[1].startsWith("Resulting Message ["));
    QVERIFY(!TraceEnabled());
}

QTEST_GUILESS_MAIN(TestCipher)
#include "tst_cipher.moc"
