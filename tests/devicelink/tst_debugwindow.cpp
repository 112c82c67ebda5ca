// The trace window: captions, the 1000-line rule, lines from other threads,
// and the trace existing only while the window is open.
#include "TfrmDebug.h"
#include "Trace.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QtTest>

using namespace kovra;

class TestDebugWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captions();
    void thousandLineRule_data();
    void thousandLineRule();
    void linesFromWorkerThreads();
    void traceOnlyWhileOpen();
    void clearAndCopy();
};

void TestDebugWindow::captions()
{
    TfrmDebug w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Kovra Console | Debug"));
    const QList<QPair<const char *, const char *>> buttons = {
        {"btnClear", "C&lear"}, {"btnCopyToClipboard", "Copy All to Clip&board"}, {"btnDone", "&Done"}};
    for (const auto &b : buttons) {
        auto *btn = w.findChild<QPushButton *>(b.first);
        QVERIFY2(btn, b.first);
        QCOMPARE(btn->text(), QString::fromLatin1(b.second));
    }
    QVERIFY(w.findChild<QPlainTextEdit *>("memDebug")->isReadOnly());
}

void TestDebugWindow::thousandLineRule_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QString>("last");
    QTest::newRow("1000 kept") << 1000 << 1000 << "line 1000";
    QTest::newRow("1001st empties") << 1001 << 0 << "";
    QTest::newRow("starts over after emptying") << 1003 << 2 << "line 1003";
}

void TestDebugWindow::thousandLineRule()
{
    QFETCH(int, lines);
    QFETCH(int, kept);
    QFETCH(QString, last);
    TfrmDebug w;
    for (int i = 1; i <= lines; ++i)
        w.AddLine(QStringLiteral("line %1").arg(i));
    const QString text = w.memDebug()->toPlainText();
    const QStringList got = text.isEmpty() ? QStringList() : text.split('\n');
    QCOMPARE(int(got.size()), kept);
    QCOMPARE(got.isEmpty() ? QString() : got.last(), last);
}

void TestDebugWindow::linesFromWorkerThreads()
{
    TfrmDebug w;
    QList<QThread *> workers;
    for (int t = 0; t < 3; ++t) {
        workers << QThread::create([&w, t] {
            for (int i = 0; i < 100; ++i) {
                w.AddLine(QStringLiteral("worker %1 line %2").arg(t).arg(i));
                KOVRA_TRACE(QStringLiteral("*tic*"));
            }
        });
        workers.last()->start();
    }
    for (QThread *th : workers) {
        QVERIFY(th->wait(10000));
        delete th;
    }
    QTRY_COMPARE(w.memDebug()->document()->blockCount(), 600);
    const QStringList got = w.memDebug()->toPlainText().split('\n');
    for (int t = 0; t < 3; ++t) {
        QStringList mine;
        for (const QString &l : got)
            if (l.startsWith(QStringLiteral("worker %1 ").arg(t)))
                mine << l;
        QCOMPARE(int(mine.size()), 100);
        QCOMPARE(mine.first(), QStringLiteral("worker %1 line 0").arg(t));   // each thread's order kept
        QCOMPARE(mine.last(), QStringLiteral("worker %1 line 99").arg(t));
    }
    QCOMPARE(int(got.count("*tic*")), 300);
}

void TestDebugWindow::traceOnlyWhileOpen()
{
    QVERIFY(!TraceEnabled());
    QPointer<TfrmDebug> w = new TfrmDebug;
    w->show();
    QCOMPARE(TfrmDebug::instance(), w.data());
    QVERIFY(TraceEnabled());
    KOVRA_TRACE(QStringLiteral("Console LeadIN Sent"));
    QTRY_COMPARE(w->memDebug()->toPlainText(), QStringLiteral("Console LeadIN Sent"));
    w->findChild<QPushButton *>("btnDone")->click();
    QTRY_VERIFY(w.isNull());   // Done closes and destroys
    QVERIFY(!TraceEnabled());
    QCOMPARE(TfrmDebug::instance(), nullptr);
    // reopening starts empty
    TfrmDebug again;
    QVERIFY(again.memDebug()->toPlainText().isEmpty());
}

void TestDebugWindow::clearAndCopy()
{
    TfrmDebug w;
    w.AddLine("first");
    w.AddLine("second");
    w.findChild<QPushButton *>("btnCopyToClipboard")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("first\nsecond"));
    w.findChild<QPushButton *>("btnClear")->click();
    QVERIFY(w.memDebug()->toPlainText().isEmpty());
    w.AddLine("third");
    QCOMPARE(w.memDebug()->toPlainText(), QStringLiteral("third"));
}

QTEST_MAIN(TestDebugWindow)
#include "tst_debugwindow.moc"
