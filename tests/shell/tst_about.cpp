// The about window (one at most, version, links) and opening the manual.
#include "Help.h"
#include "MessageDialogs.h"
#include "ScriptedDialogs.h"
#include "TempHome.h"
#include "TfrmAbout.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QtTest>

using namespace kovra;

namespace {

int openAboutWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmAbout *>(w) && w->isVisible())
            ++n;
    return n;
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("manual");
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void showsVersionAndContacts();
    void linksOpenTheirText();
    void opensOnceOnly();
    void openManual_data();
    void openManual();

private:
    QList<QUrl> m_opened;
    UrlOpener m_previous;
};

void TestAbout::init()
{
    m_opened.clear();
    ResetLastTimedMessage();
    m_previous = SetUrlOpener([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestAbout::cleanup() { SetUrlOpener(m_previous); }

void TestAbout::showsVersionAndContacts()
{
    TfrmAbout w;
    QCOMPARE(w.windowTitle(), QString("Kovra Console | About"));
    const QString version = w.findChild<QLabel *>("lblVersion")->text();
    QVERIFY2(QRegularExpression(R"(^Version \d+\.\d+\.\d+\.\d+$)").match(version).hasMatch(), qPrintable(version));
    QVERIFY(version.startsWith("Version " KOVRA_VERSION));
    QPushButton *done = w.findChild<QPushButton *>("btnDone");
    QCOMPARE(done->text(), QString("&Done"));
    w.show();
    QVERIFY(done->isVisible());
    for (const char *name : {"lblEMail", "lblURL"})
        QCOMPARE(w.findChild<QLabel *>(name)->cursor().shape(), Qt::PointingHandCursor);
    done->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void TestAbout::linksOpenTheirText()
{
    TfrmAbout w;
    QLabel *mail = w.findChild<QLabel *>("lblEMail");
    QLabel *web = w.findChild<QLabel *>("lblURL");
    const QString address = QTextDocumentFragment::fromHtml(mail->text()).toPlainText();
    const QString site = QTextDocumentFragment::fromHtml(web->text()).toPlainText();
    QVERIFY(address.contains('@'));
    QVERIFY(site.startsWith("https://"));
    emit mail->linkActivated(address);
    emit web->linkActivated(site);
    QCOMPARE(m_opened, (QList<QUrl>{QUrl("mailto:" + address), QUrl(site)}));
}

void TestAbout::opensOnceOnly()
{
    QWidget parent;
    int seenWhileOpen = -1;
    bool secondReturnedAtOnce = false;
    QTimer::singleShot(0, [&] {
        ShowAbout(&parent);   // a second press while the first window is open
        secondReturnedAtOnce = true;
        seenWhileOpen = openAboutWindows();
        TfrmAbout::current()->findChild<QPushButton *>("btnDone")->click();
    });
    ShowAbout(&parent);
    QVERIFY(secondReturnedAtOnce);
    QCOMPARE(seenWhileOpen, 1);
    QVERIFY(!TfrmAbout::current());   // released when closed
    QCOMPARE(openAboutWindows(), 0);

    // Once closed, the command opens it again.
    bool reopened = false;
    QTimer::singleShot(0, [&] {
        reopened = TfrmAbout::current() != nullptr;
        if (reopened)
            TfrmAbout::current()->reject();
    });
    ShowAbout(&parent);
    QVERIFY(reopened);
}

void TestAbout::openManual_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<bool>("markdown");
    QTest::addColumn<QString>("opens");   // empty: the missing-file notice
    QTest::newRow("neither") << false << false << "";
    QTest::newRow("pdf") << true << false << "Kovra_Console_Manual.pdf";
    QTest::newRow("markdown only") << false << true << "Kovra_Console_Manual.md";
    QTest::newRow("both: pdf first") << true << true << "Kovra_Console_Manual.pdf";
}

void TestAbout::openManual()
{
    QFETCH(bool, pdf);
    QFETCH(bool, markdown);
    QFETCH(QString, opens);
    ScriptedDialogs dialogs;
    TempHome home;
    if (pdf)
        touch(home.file("Kovra_Console_Manual.pdf"));
    if (markdown)
        touch(home.file("Kovra_Console_Manual.md"));

    OpenManual();
    if (opens.isEmpty()) {
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(dialogs.texts(), QStringList{"Help file is missing. Please re-install the Kovra Console."});
        QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
        QVERIFY(!dialogs.shown().first().infoStyle);
    } else {
        QVERIFY(dialogs.shown().isEmpty());
        QCOMPARE(m_opened.size(), 1);
        QVERIFY(m_opened.first().isLocalFile());
        QCOMPARE(QFileInfo(m_opened.first().toLocalFile()).canonicalFilePath(),
                 QFileInfo(home.file(opens)).canonicalFilePath());
    }
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
