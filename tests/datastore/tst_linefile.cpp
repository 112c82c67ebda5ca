#include "LineFile.h"

#include <QtTest>

using namespace kovra;

namespace {
// Data bytes followed by their correct sum, so that only the line structure is wrong.
QByteArray withSum(const QByteArray &data)
{
    const quint16 s = LineFileSum(data);
    return data + char(s >> 8) + char(s & 0xFF);
}
} // namespace

class TestLineFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workedExample();
    void roundTrip_data();
    void roundTrip();
    void sumWrapsAt16Bits();
    void malformed_data();
    void malformed();
    void everyByteChangeDetected();
    void everyTruncationRefused();
    void oversizeAndForeignLinesRefused();
};

void TestLineFile::workedExample()
{
    const auto bytes = EncodeLineFile({"abc"});
    QVERIFY(bytes);
    QCOMPARE(bytes->toHex(' '), QByteArray("03 61 62 63 01 29"));
    QCOMPARE(DecodeLineFile(QByteArray::fromHex("036162630129")), QStringList({"abc"}));
    QCOMPARE(EncodeLineFile({})->toHex(), QByteArray("0000"));
    const auto empty = DecodeLineFile(QByteArray(2, '\0'));
    QVERIFY(empty);
    QVERIFY(empty->isEmpty());
}

void TestLineFile::roundTrip_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("account lines") << QStringList{"001*IP_Address*192.168.0.99", "950*Account_IP_Address*10.0.0.1"};
    QTest::newRow("latin-1 and stars") << QStringList{QString::fromUtf8("caf\u00e9*\u00ff"), "**", "a b"};
    QTest::newRow("longest line") << QStringList{QString(255, 'x'), "y"};
    QTest::newRow("high bytes") << QStringList{QString(200, QChar(0xFF)), QString(200, QChar(0xFE))};
}

void TestLineFile::roundTrip()
{
    QFETCH(QStringList, lines);
    const auto bytes = EncodeLineFile(lines);
    QVERIFY(bytes);
    int expectedSize = 2;
    for (const auto &l : lines)
        expectedSize += 1 + l.size();
    QCOMPARE(bytes->size(), expectedSize);
    QCOMPARE(DecodeLineFile(*bytes), lines);
}

void TestLineFile::sumWrapsAt16Bits()
{
    // 300 lines of 200 x 0xFF sum to far more than 65535.
    const QStringList lines(300, QString(200, QChar(0xFF)));
    const auto bytes = EncodeLineFile(lines);
    QVERIFY(bytes);
    const quint32 full = 300u * (200u + 200u * 255u);
    const int n = int(bytes->size());
    QCOMPARE(quint8(bytes->at(n - 2)), quint8((full >> 8) & 0xFF));
    QCOMPARE(quint8(bytes->at(n - 1)), quint8(full & 0xFF));
    QCOMPARE(DecodeLineFile(*bytes), lines);
}

void TestLineFile::malformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("one byte") << QByteArray(1, '\0');
    QTest::newRow("wrong sum") << QByteArray::fromHex("036162630128");
    QTest::newRow("sum low first") << QByteArray::fromHex("036162632901");
    QTest::newRow("line past end") << withSum(QByteArray::fromHex("05616263"));
    QTest::newRow("second line past end") << withSum(QByteArray::fromHex("01610362"));
    QTest::newRow("length 255 with one byte") << withSum(QByteArray::fromHex("ff61"));
    QTest::newRow("lone last length") << withSum(QByteArray::fromHex("01610a"));
    QTest::newRow("text file") << QByteArray("hello world\n");
}

void TestLineFile::malformed()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!DecodeLineFile(bytes));
}

void TestLineFile::everyByteChangeDetected()
{
    const QByteArray good = *EncodeLineFile({"326*SoftwareVersion*0140", "abc", "950*X*1.2.3.4"});
    for (int i = 0; i < good.size(); ++i) {
        for (int delta = 1; delta < 256; ++delta) {
            QByteArray bad = good;
            bad[i] = char(quint8(bad[i]) ^ delta);
            QVERIFY2(!DecodeLineFile(bad), qPrintable(QString("offset %1 xor %2").arg(i).arg(delta)));
        }
    }
}

void TestLineFile::everyTruncationRefused()
{
    const QStringList lines{"001*IP_Address*192.168.0.99", "002*Subnet_Mask*255.255.0.0"};
    const QByteArray good = *EncodeLineFile(lines);
    for (int len = 0; len < good.size(); ++len) {
        // A cut file must never decode to the original, and never be read past its end
        // (the sanitizer build checks the latter).
        const auto r = DecodeLineFile(good.left(len));
        QVERIFY2(!r || *r != lines, qPrintable(QString::number(len)));
    }
    // Cut inside the second line, with the sum recomputed: the line runs past the end.
    const QByteArray data = good.left(good.size() - 2);
    for (int len = int(lines[0].size()) + 2; len < data.size(); ++len)
        QVERIFY2(!DecodeLineFile(withSum(data.left(len))), qPrintable(QString::number(len)));
}

void TestLineFile::oversizeAndForeignLinesRefused()
{
    QString error;
    QVERIFY(!EncodeLineFile({"ok", QString(256, 'x')}, &error));
    QVERIFY2(error.contains("Line 2") && error.contains("256"), qPrintable(error));
    error.clear();
    QVERIFY(!EncodeLineFile({QString::fromUtf8("\u20ac")}, &error));
    QVERIFY2(error.contains("Line 1"), qPrintable(error));
    QVERIFY(EncodeLineFile({QString(255, 'x')}));
}

QTEST_GUILESS_MAIN(TestLineFile)
#include "tst_linefile.moc"
