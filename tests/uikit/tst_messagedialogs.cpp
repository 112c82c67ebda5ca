#include "MessageDialogs.h"
#include "ScriptedDialogs.h"

#include <QtTest>

using namespace kovra;

class TestMessageDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionsAndStyles_data();
    void captionsAndStyles();
    void questionReturnsTrueWhenDeclined();
    void negativeLifetimeShowsOneCopyUntilClosed();
    void positiveLifetimeAlwaysShows();
};

void TestMessageDialogs::captionsAndStyles_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("info");
    QTest::addColumn<int>("lifetime");
    QTest::newRow("ShowInfo") << 0 << "Information" << true << 0;
    QTest::newRow("ShowTimedInfo") << 1 << "Information" << true << 3000;
    QTest::newRow("ShowError") << 2 << "Error" << false << 0;
    QTest::newRow("ShowTimedError") << 3 << "Error" << false << 5000;
}

void TestMessageDialogs::captionsAndStyles()
{
    QFETCH(int, which);
    ScriptedDialogs dialogs;
    switch (which) {
    case 0: ShowInfo("a"); break;
    case 1: ShowTimedInfo("a", 3000); break;
    case 2: ShowError("a"); break;
    case 3: ShowTimedError("a", -5000); break;
    }
    QCOMPARE(dialogs.shown().size(), 1);
    const ShownMessage &m = dialogs.shown().first();
    QTEST(m.caption, "caption");
    QTEST(m.infoStyle, "info");
    QTEST(m.lifetimeMs, "lifetime");
    QCOMPARE(m.kind, MessageKind::OneButton);
}

void TestMessageDialogs::questionReturnsTrueWhenDeclined()
{
    ScriptedDialogs dialogs;
    dialogs.answerNo();
    dialogs.answerYes();
    QCOMPARE(AskQuestion("Confirmation", "Quit?", MessageKind::YesNo), true);
    QCOMPARE(AskQuestion("Confirmation", "Quit?", MessageKind::YesNo), false);
    QCOMPARE(dialogs.shown().at(0).caption, QString("Confirmation"));
    QCOMPARE(dialogs.shown().at(0).kind, MessageKind::YesNo);
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestMessageDialogs::negativeLifetimeShowsOneCopyUntilClosed()
{
    ScriptedDialogs dialogs;
    QVERIFY(ShowMessageDialog("Error", "Busy.", MessageKind::OneButton, false, -5000));
    ShowTimedError("Busy.", -5000);             // still on screen: suppressed
    QCOMPARE(dialogs.shown().size(), 1);
    ShowTimedError("Other.", -5000);            // a different text shows
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(LastTimedMessage(), QString("Other."));
    dialogs.closeTimedMessages();
    ShowTimedError("Busy.", -5000);             // closed: shows again
    QCOMPARE(dialogs.shown().size(), 3);
}

void TestMessageDialogs::positiveLifetimeAlwaysShows()
{
    ScriptedDialogs dialogs;
    ShowTimedInfo("Saved.", 4000);
    ShowTimedInfo("Saved.", 4000);
    QCOMPARE(dialogs.shown().size(), 2);
}

QTEST_GUILESS_MAIN(TestMessageDialogs)
#include "tst_messagedialogs.moc"
