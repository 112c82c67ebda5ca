// Console start-up and account search over a database of 10,000 accounts.
// Prints figures; asserts nothing.
#include "InstallationFolder.h"
#include "LoginState.h"
#include "Schema.h"
#include "ScriptedDialogs.h"
#include "TMXDBGrid.h"
#include "TdmdMain.h"
#include "MainWindowOps.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace kovra;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int accounts = argc > 1 ? QString(argv[1]).toInt() : 10000;
    ScriptedDialogs dialogs;
    InstallationFolder home;

    // One account through the data store, the rest copied from it in one
    // transaction (same rows, option rows included, as the editor would make).
    QElapsedTimer fill;
    fill.start();
    const int first = home.addAccount("0000000001");
    {
        QSqlDatabase db = home.db().accountDatabase();
        Transaction t(db);
        QSqlQuery addAccount(db), addOptions(db);
        addAccount.prepare("INSERT INTO tblKovra (KovraAccount, KovraIP, KovraKey, KovraMAC, Receiver1, Receiver2, "
                           "Receiver3, Receiver1Gateway, Receiver2Gateway, Receiver3Gateway, Receiver1Port, "
                           "Receiver2Port, Receiver3Port) SELECT ?, KovraIP, KovraKey, KovraMAC, Receiver1, Receiver2, "
                           "Receiver3, Receiver1Gateway, Receiver2Gateway, Receiver3Gateway, Receiver1Port, "
                           "Receiver2Port, Receiver3Port FROM tblKovra WHERE Kovra_ID = ?");
        addOptions.prepare("INSERT INTO tblKovraOptions (Kovra_ID, OptionNumber, KovraOptionOldValue, KovraOptionValue, "
                           "KovraOptionTempValue) SELECT ?, OptionNumber, KovraOptionOldValue, KovraOptionValue, "
                           "KovraOptionTempValue FROM tblKovraOptions WHERE Kovra_ID = ? ORDER BY KovraOption_ID");
        for (int i = 2; i <= accounts; ++i) {
            // Spread over the hex range so prefixes select different rows.
            const QString number = QString("%1").arg(quint64(i) * 0x1A2B3C4DULL % 0xFFFFFFFFFFULL, 10, 16, QChar('0')).toUpper();
            addAccount.addBindValue(number);
            addAccount.addBindValue(first);
            if (!addAccount.exec())
                qFatal("insert failed");
            addOptions.addBindValue(addAccount.lastInsertId());
            addOptions.addBindValue(first);
            if (!addOptions.exec())
                qFatal("insert failed");
        }
        t.commit();
    }
    std::printf("filled %d accounts (%d option rows) in %lld ms\n", home.rowCount("tblKovra"),
                home.rowCount("tblKovraOptions"), fill.elapsed());
    home.db().CloseDatabase();   // the console opens the files itself

    Login().CurrentUserName = "admin01";
    Login().CurrentUserType = ModeAdministrator;
    Login().CurrentMode = ModeAdministrator;

    // Start: data module (configuration, user database), account database as
    // the login gate opens it, main window created and shown.
    QElapsedTimer start;
    start.start();
    auto dm = std::make_unique<TdmdMain>();
    dm->OpenDatabase();
    dm->setNeedsDatabase(false);
    const qint64 openedMs = start.elapsed();
    TfrmMain w(*dm);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("window not exposed\n");
    QCoreApplication::processEvents();
    const qint64 shownMs = start.elapsed();
    auto *grid = w.findChild<TMXDBGrid *>("dbgKovra");
    std::printf("start to main window shown: %lld ms (databases open after %lld ms; %d accounts listed)\n", shownMs,
                openedMs, grid->rowCount());

    // One keystroke of the account search, worst case first: a prefix that
    // matches nothing walks every account.
    auto *edit = w.findChild<QLineEdit *>("edtAccountNumber");
    auto keystroke = [&](const QString &prefix, QChar key) {
        edit->setText(prefix);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(edit, key.toLatin1());
        QCoreApplication::processEvents();
        return t.nsecsElapsed() / 1000;   // microseconds
    };
    const QString last = grid->value(grid->rowCount() - 1, "KovraAccount").toString();
    QList<qint64> times;
    for (int i = 0; i < 20; ++i) {
        times << keystroke("FFFFFFFFF", 'f');                 // no match: full walk
        times << keystroke(last.left(5), last.at(5));          // match near the end
        times << keystroke("0", '0');                          // match at the top
    }
    std::sort(times.begin(), times.end());
    std::printf("account search keystroke over %d accounts: median %.2f ms, max %.2f ms (%d keystrokes); current %s\n",
                grid->rowCount(), times.at(times.size() / 2) / 1000.0, times.last() / 1000.0, int(times.size()),
                qPrintable(grid->currentValue("KovraAccount").toString()));

    // The two halves of a keystroke: the walk over the list, and the repaint.
    {
        QStringList numbers;
        for (int r = 0; r < grid->rowCount(); ++r)
            numbers << grid->value(r, "KovraAccount").toString();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 100; ++i)
            FindPrefixRow(numbers, "FFFFFFFFFF", Qt::CaseInsensitive);
        std::printf("  prefix walk over every account: %.3f ms\n", t.nsecsElapsed() / 1e6 / 100);
        t.restart();
        for (int i = 0; i < 20; ++i)
            grid->viewport()->repaint();
        std::printf("  grid repaint: %.3f ms\n", t.nsecsElapsed() / 1e6 / 20);
    }

    // Re-sorting by a column title re-reads the list.
    QElapsedTimer sort;
    sort.start();
    Q_EMIT grid->titleClicked("KovraKey");
    std::printf("sort by column title: %lld ms\n", sort.elapsed());
    return 0;
}
