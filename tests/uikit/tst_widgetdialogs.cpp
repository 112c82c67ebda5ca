// The widget backend of the dialog seam: message dialogs, file dialogs and the
// progress window, driven as a person would.
#include "MessageDialogs.h"
#include "TMXMessageDialog.h"
#include "TWidgetDialogBackend.h"
#include "TfrmProgress.h"

#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace kovra;

namespace {
// Runs `act` on the newest message dialog once the event loop (of exec()) runs.
void onDialog(std::function<void(TMXMessageDialog *)> act)
{
    QTimer::singleShot(0, [act] {
        const auto open = TMXMessageDialog::openDialogs();
        QVERIFY2(!open.isEmpty(), "no message dialog on screen");
        act(open.last());
    });
}

QPushButton *button(QWidget *w, const char *name) { return w->findChild<QPushButton *>(name); }
} // namespace

class TestWidgetDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void modalAnswers_data();
    void modalAnswers();
    void questionsRefuseToCloseExceptByButton();
    void oneButtonNoticeClosesByEscape();
    void errorStyleIsRed();
    void heightFollowsLineCount();
    void timedNoticeIsNotStacked();
    void timedNoticeClosesItselfAndClearsMark();
    void closeOpenQuestionsDeclines();
    void progressWindow();
    void filters_data();
    void filters();
    void saveDialogTitleFolderAndName();
    void fileDialogClosedForAutoLogout();

private:
    TWidgetDialogBackend *m_backend = nullptr;
    DialogBackend *m_previous = nullptr;
};

void TestWidgetDialogs::init()
{
    m_backend = new TWidgetDialogBackend;
    m_previous = SetDialogBackend(m_backend);
    ResetLastTimedMessage();
}

void TestWidgetDialogs::cleanup()
{
    for (TMXMessageDialog *d : TMXMessageDialog::openDialogs())
        d->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetDialogBackend(m_previous);
    delete m_backend;
    m_backend = nullptr;
}

void TestWidgetDialogs::modalAnswers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("secondShown");
    QTest::addColumn<bool>("declined");
    QTest::newRow("yes") << 2 << "btnOK" << "&Yes" << "&No" << true << false;
    QTest::newRow("no") << 2 << "btnCancel" << "&Yes" << "&No" << true << true;
    QTest::newRow("ok") << 1 << "btnOK" << "&OK" << "&Cancel" << true << false;
    QTest::newRow("cancel") << 1 << "btnCancel" << "&OK" << "&Cancel" << true << true;
    QTest::newRow("done") << 0 << "btnOK" << "&Done" << "&Cancel" << false << false;
}

void TestWidgetDialogs::modalAnswers()
{
    QFETCH(int, kind);
    QFETCH(QString, clicked);
    QString title, firstText, secondText;
    bool secondVisible = true;
    onDialog([&](TMXMessageDialog *d) {
        title = d->windowTitle();
        firstText = button(d, "btnOK")->text();
        secondText = button(d, "btnCancel")->text();
        secondVisible = button(d, "btnCancel")->isVisible();
        QVERIFY(d->isModal());
        button(d, qPrintable(clicked))->click();
    });
    const bool declined = AskQuestion("Confirmation", "Are you sure you want to delete the entry?",
                                      MessageKind(kind));
    QCOMPARE(title, QString("Kovra Console | Confirmation"));
    QTEST(firstText, "first");
    QTEST(secondText, "second");
    QTEST(secondVisible, "secondShown");
    QTEST(declined, "declined");
    QVERIFY(TMXMessageDialog::openDialogs().isEmpty());
}

void TestWidgetDialogs::questionsRefuseToCloseExceptByButton()
{
    bool stillOpenAfterClose = false, stillOpenAfterEscape = false;
    Qt::WindowFlags flags;
    onDialog([&](TMXMessageDialog *d) {
        flags = d->windowFlags();
        d->close();
        stillOpenAfterClose = d->isVisible();
        QTest::keyClick(d, Qt::Key_Escape);
        stillOpenAfterEscape = d->isVisible();
        button(d, "btnOK")->click();
    });
    const bool declined = AskQuestion("Confirmation", "Do you really want to quit the Application?",
                                      MessageKind::YesNo);
    QVERIFY(stillOpenAfterClose);
    QVERIFY(stillOpenAfterEscape);
    QCOMPARE(declined, false);
    QVERIFY(!(flags & Qt::WindowSystemMenuHint));
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
}

void TestWidgetDialogs::oneButtonNoticeClosesByEscape()
{
    bool closed = false;
    onDialog([&](TMXMessageDialog *d) {
        QPointer<TMXMessageDialog> p(d);
        d->close();
        closed = !d->isVisible();
    });
    ShowInfo("Nothing to do.");
    QVERIFY(closed);
}

void TestWidgetDialogs::errorStyleIsRed()
{
    QColor errorColour, infoColour;
    onDialog([&](TMXMessageDialog *d) {
        errorColour = d->findChild<QPlainTextEdit *>("memMessage")->palette().color(QPalette::Text);
        QVERIFY(d->findChild<QPlainTextEdit *>("memMessage")->isReadOnly());
        button(d, "btnOK")->click();
    });
    ShowError("Invalid User Data.");
    onDialog([&](TMXMessageDialog *d) {
        infoColour = d->findChild<QPlainTextEdit *>("memMessage")->palette().color(QPalette::Text);
        button(d, "btnOK")->click();
    });
    ShowInfo("Invalid User Data.");
    QCOMPARE(errorColour, QColor(Qt::red));
    QVERIFY(infoColour != QColor(Qt::red));
}

void TestWidgetDialogs::heightFollowsLineCount()
{
    auto memoHeight = [](const QString &text, int *dialogHeight = nullptr) {
        TMXMessageDialog d("Error", text, MessageKind::OneButton, false);
        d.show();
        if (dialogHeight)
            *dialogHeight = d.height();
        return d.findChild<QPlainTextEdit *>("memMessage")->height();
    };
    QPlainTextEdit probe;
    const int ls = QFontMetrics(probe.font()).lineSpacing();
    int d2 = 0, d4 = 0;
    const int h1 = memoHeight("one line");
    const int h2 = memoHeight("Could not run login script.\r\nApplication terminated.", &d2);
    const int h4 = memoHeight("a\r\nb\nc\r\nd", &d4);
    // "\r\n" and "\n" break lines; each line adds one line height, and the
    // text area never gets smaller than 22 pixels.
    QCOMPARE(h4 - h2, 2 * ls);
    QCOMPARE(h2 - h1, (2 * ls + 6) - qMax(22, ls + 6));
    QCOMPARE(d4 - d2, 2 * ls);   // the window follows its text area
    // A long line wraps and counts as several lines.
    QString words;
    for (int i = 0; i < 60; ++i)
        words += "wrapping ";
    QVERIFY(memoHeight(words) > h4);
}

void TestWidgetDialogs::timedNoticeIsNotStacked()
{
    QVERIFY(ShowMessageDialog("Information", "Not available in this version.", MessageKind::OneButton, true, -5000));
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 1);
    TMXMessageDialog *d = TMXMessageDialog::openDialogs().first();
    QVERIFY(!d->isModal());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d->windowTitle(), QString("Kovra Console | Information"));

    ShowTimedInfo("Not available in this version.", -5000);
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 1);
    // Another text is not held back.
    ShowTimedError("Auto-Logout.", -5000);
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 2);

    // Closing the first by its button frees its text for the next call.
    button(d, "btnOK")->click();
    QTRY_VERIFY(!TMXMessageDialog::openDialogs().contains(d));
    ShowTimedInfo("Not available in this version.", -5000);
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 2);
}

void TestWidgetDialogs::timedNoticeClosesItselfAndClearsMark()
{
    ShowTimedError("Reset Cancelled.", -30);
    QCOMPARE(LastTimedMessage(), QString("Reset Cancelled."));
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(TMXMessageDialog::openDialogs().isEmpty(), 5000);
    QVERIFY(LastTimedMessage().isEmpty());
    // A positive lifetime shows every time.
    ShowTimedInfo("Kovra Reset will be completed in 90 seconds.", 90000);
    ShowTimedInfo("Kovra Reset will be completed in 90 seconds.", 90000);
    QCOMPARE(TMXMessageDialog::openDialogs().size(), 2);
}

void TestWidgetDialogs::closeOpenQuestionsDeclines()
{
    QTimer::singleShot(0, [this] { m_backend->closeOpenQuestions(); });
    QCOMPARE(AskQuestion("Confirmation", "Do you really want to log out?", MessageKind::YesNo), true);
    QTimer::singleShot(0, [this] { m_backend->closeOpenQuestions(); });
    QCOMPARE(AskQuestion("Confirmation", "Proceed?", MessageKind::OkCancel), true);
}

void TestWidgetDialogs::progressWindow()
{
    QVERIFY(!m_backend->activeProgress());
    {
        ProgressScope outer("Reading options ...", true);
        TfrmProgress *w = m_backend->activeProgress();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QString("Kovra Console | Progress"));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w->findChild<QLabel *>("lblWait")->text(), QString("Reading options ..."));
        // No bar until a percentage is reported.
        QVERIFY(w->findChild<QWidget *>("pnlProgress")->isHidden());
        QVERIFY(!w->findChild<QWidget *>("pnlCancel")->isHidden());
        outer.setPercent(40);
        QVERIFY(!w->findChild<QWidget *>("pnlProgress")->isHidden());
        QCOMPARE(w->findChild<QProgressBar *>("ProgressBar")->value(), 40);
        QVERIFY(!outer.cancelled());
        QTimer::singleShot(0, w, [w] { w->findChild<QPushButton *>("btnCancel")->click(); });
        QVERIFY(outer.cancelled());   // cancelled() lets the click through
        {
            ProgressScope inner("Writing ...", false);
            QVERIFY(inner.cancelled());   // same window, same flag
        }
        QVERIFY(w->isVisible());          // the inner end does not hide it
    }
    QVERIFY(!m_backend->activeProgress());
    ProgressScope again("", false);
    TfrmProgress *w = m_backend->activeProgress();
    QCOMPARE(w->findChild<QLabel *>("lblWait")->text(), QString("Please Wait ..."));
    QVERIFY(!again.cancelled());
    QVERIFY(w->findChild<QWidget *>("pnlCancel")->isHidden());
    QVERIFY(w->findChild<QWidget *>("pnlProgress")->isHidden());
}

void TestWidgetDialogs::filters_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("described") << "Kovra Account Files (*.kva)|*.kva" << "Kovra Account Files (*.kva)";
    QTest::newRow("bare") << "Kovra Database Files|*.kdb" << "Kovra Database Files (*.kdb)";
    QTest::newRow("qt") << "Kovra Account Files (*.kva)" << "Kovra Account Files (*.kva)";
    QTest::newRow("two") << "Backup (*.zip)|*.zip|All|*.*" << "Backup (*.zip);;All (*.*)";
}

void TestWidgetDialogs::filters()
{
    QFETCH(QString, in);
    QTEST(TWidgetDialogBackend::QtFilter(in), "out");
}

void TestWidgetDialogs::saveDialogTitleFolderAndName()
{
    QTemporaryDir dir;
    QString title, folder;
    QTimer::singleShot(50, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *fd = qobject_cast<QFileDialog *>(w); fd && fd->isVisible()) {
                title = fd->windowTitle();
                folder = fd->directory().absolutePath();
                static_cast<QDialog *>(fd)->accept();
            }
        }
    });
    FileDialogRequest r;
    r.title = "Export Kovra Account";
    r.folder = dir.path();
    r.fileName = "KovraAccount_12AB340000__261210.kva";
    r.filter = "Kovra Account Files (*.kva)|*.kva";
    r.defaultSuffix = "kva";
    const QString chosen = SaveFileName(r);
    QCOMPARE(title, QString("Kovra Console | Export Kovra Account"));
    QCOMPARE(folder, QDir(dir.path()).absolutePath());
    QCOMPARE(chosen, QDir(dir.path()).absoluteFilePath("KovraAccount_12AB340000__261210.kva"));
}

void TestWidgetDialogs::fileDialogClosedForAutoLogout()
{
    QTemporaryDir dir;
    QTimer::singleShot(50, [this] { m_backend->closeOpenQuestions(); });
    FileDialogRequest r;
    r.title = "Import Kovra Account";
    r.folder = dir.path();
    r.mustExist = true;
    QCOMPARE(OpenFileName(r), QString());
}

QTEST_MAIN(TestWidgetDialogs)
#include "tst_widgetdialogs.moc"
