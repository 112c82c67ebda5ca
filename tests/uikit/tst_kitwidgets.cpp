// Base window caption rule, hexadecimal and IPv4 edits, data grid.
#include "TBaseForm.h"
#include "TMXDBGrid.h"
#include "TMXHexEdit.h"
#include "TMXIPEdit.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QSignalSpy>
#include <QtTest>

using namespace kovra;

class TestKitWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionRule_data();
    void captionRule();
    void hexEditTyping_data();
    void hexEditTyping();
    void hexEditPasteIsChecked();
    void hexEditFill_data();
    void hexEditFill();
    void ipEditDotMovesOn();
    void ipEditRange_data();
    void ipEditRange();
    void gridColumnsTitlesAndRows();
    void gridReadOnlyColouring();
};

void TestKitWidgets::captionRule_data()
{
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Main" << "Kovra Console | Main";
    QTest::newRow("spaces kept") << " Login " << "Kovra Console |  Login ";
    QTest::newRow("already ruled") << "Kovra Console | Select Programming" << "Kovra Console | Select Programming";
    QTest::newRow("bar without blanks") << "A|B" << "Kovra Console | A|B";
}

void TestKitWidgets::captionRule()
{
    QFETCH(QString, own);
    TBaseForm f;
    QCOMPARE(f.windowTitle(), QString("Kovra Console"));
    f.setCaption(own);
    QTEST(f.windowTitle(), "shown");
}

void TestKitWidgets::hexEditTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("lower becomes upper") << "12ab" << "12AB";
    QTest::newRow("non-hex refused") << "1g2-h3 z" << "123";
    QTest::newRow("max length") << "0123456789ABCDEF" << "0123456789";
    QTest::newRow("backspace") << "12ab\b\bc" << "12C";
}

void TestKitWidgets::hexEditTyping()
{
    QFETCH(QString, typed);
    TMXHexEdit e;
    e.setMaxLength(10);
    for (QChar c : typed) {
        if (c == '\b')
            QTest::keyClick(&e, Qt::Key_Backspace);
        else
            QTest::keyClicks(&e, QString(c));
    }
    QTEST(e.text(), "shown");
}

void TestKitWidgets::hexEditPasteIsChecked()
{
    TMXHexEdit e;
    e.insert("00ff");
    QCOMPARE(e.text(), QString("00FF"));
    e.insert("zz");
    QCOMPARE(e.text(), QString("00FF"));
}

void TestKitWidgets::hexEditFill_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<bool>("left");
    QTest::addColumn<QString>("value");
    QTest::newRow("key right-filled") << "ab12" << 8 << "0" << false << "AB120000";
    QTest::newRow("number left-filled") << "1" << 4 << "0" << true << "0001";
    QTest::newRow("other fill char") << "C" << 4 << "F" << false << "CFFF";
    QTest::newRow("full") << "1234" << 4 << "0" << true << "1234";
    QTest::newRow("empty") << "" << 3 << "0" << false << "000";
}

void TestKitWidgets::hexEditFill()
{
    QFETCH(QString, typed);
    QFETCH(int, length);
    QFETCH(QString, fill);
    QFETCH(bool, left);
    TMXHexEdit e;
    e.setFixedLength(length, fill.at(0), left ? TMXHexEdit::Fill::Left : TMXHexEdit::Fill::Right);
    QTest::keyClicks(&e, typed + "99999");   // the box stops at its length
    e.setText(e.text().left(typed.size()).toUpper());
    QCOMPARE(e.maxLength(), length);
    QTEST(e.value(), "value");
}

void TestKitWidgets::ipEditDotMovesOn()
{
    QWidget top;
    TMXIPEdit ip("edtIPAddress", &top);
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    QApplication::setActiveWindow(&top);
    ip.part(0)->setFocus();
    // Typed as a person would: each key goes to the part that has the focus.
    auto type = [](const QString &keys) {
        for (QChar c : keys)
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
    };
    type("192.168");
    QCOMPARE(QApplication::focusWidget(), ip.part(1));
    type(".1.20");
    QCOMPARE(ip.text(), QString("192.168.1.20"));
    QVERIFY(ip.isComplete());
    // The parts keep their window's control names; a dot never enters a part.
    QCOMPARE(top.findChild<QLineEdit *>("edtIPAddress4")->text(), QString("20"));
    QTest::keyClick(ip.part(3), Qt::Key_Period);
    QCOMPARE(ip.part(3)->text(), QString("20"));
}

void TestKitWidgets::ipEditRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("part");
    QTest::newRow("255 accepted") << "255" << "255";
    QTest::newRow("256 refused") << "256" << "25";
    QTest::newRow("letters refused") << "1a2" << "12";
    QTest::newRow("three digits") << "1234" << "123";
}

void TestKitWidgets::ipEditRange()
{
    QFETCH(QString, typed);
    TMXIPEdit ip("edtIPR1");
    QTest::keyClicks(ip.part(2), typed);
    QTEST(ip.part(2)->text(), "part");
    ip.setText("10.0.0");
    QVERIFY(!ip.isComplete());
    QCOMPARE(ip.text(), QString("10.0.0."));
    ip.setText("10.0.0.300");
    QVERIFY(!ip.isComplete());
}

void TestKitWidgets::gridColumnsTitlesAndRows()
{
    QStandardItemModel m(3, 4);
    m.setHorizontalHeaderLabels({"Kovra_ID", "KovraAccount", "KovraIP", "KovraKey"});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            m.setItem(r, c, new QStandardItem(QString("%1-%2").arg(r).arg(c)));
    TMXDBGrid g;
    g.setSourceModel(&m);
    g.setColumns({{"KovraAccount", "Account", 90}, {"KovraKey", "Encryption Key", 200}, {"KovraIP", "IP Address", 90}});
    QVERIFY(g.isColumnHidden(0));
    QCOMPARE(g.titleOfColumn(g.columnAtPosition(0)), QString("Account"));
    QCOMPARE(g.titleOfColumn(g.columnAtPosition(1)), QString("Encryption Key"));
    QCOMPARE(g.titleOfColumn(g.columnAtPosition(2)), QString("IP Address"));
    QCOMPARE(g.columnAtPosition(3), -1);
    QCOMPARE(g.fieldName(g.columnAtPosition(1)), QString("KovraKey"));

    QSignalSpy clicked(&g, &TMXDBGrid::titleClicked);
    g.show();
    QHeaderView *h = g.horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(3) + 5, 5));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.first().first().toString(), QString("KovraKey"));

    QCOMPARE(g.currentRow(), -1);
    g.setCurrentRow(2);
    QCOMPARE(g.currentRow(), 2);
    QCOMPARE(g.currentValue("KovraIP").toString(), QString("2-2"));
    g.setCurrentRow(7);   // out of range: stays
    QCOMPARE(g.currentRow(), 2);
    QVERIFY(!g.value(0, "NoSuchField").isValid());
}

void TestKitWidgets::gridReadOnlyColouring()
{
    QStandardItemModel m(1, 2);
    m.setHorizontalHeaderLabels({"ReceiverIP", "ReceiverName"});
    TMXDBGrid g;
    g.setSourceModel(&m);
    const QModelIndex ip = g.model()->index(0, 0), name = g.model()->index(0, 1);
    QVERIFY(!ip.data(Qt::BackgroundRole).isValid());
    QVERIFY(g.model()->flags(name) & Qt::ItemIsEditable);
    g.setFieldReadOnly("ReceiverIP", true);
    QCOMPARE(ip.data(Qt::BackgroundRole).value<QColor>(), g.palette().color(QPalette::Button));
    QVERIFY(!(g.model()->flags(ip) & Qt::ItemIsEditable));
    QVERIFY(!name.data(Qt::BackgroundRole).isValid());
    g.setGridReadOnly(true);
    QVERIFY(name.data(Qt::BackgroundRole).isValid());
    QVERIFY(!(g.model()->flags(name) & Qt::ItemIsEditable));
    QCOMPARE(g.editTriggers(), QAbstractItemView::NoEditTriggers);
}

QTEST_MAIN(TestKitWidgets)
#include "tst_kitwidgets.moc"
