// Creates 1,000 accounts with default options in a temporary installation
// folder, then exports and re-imports each one (over the existing account, the
// question answered Yes). Prints accounts created per second and the mean time
// of one export plus import.
#include "ExchangeFiles.h"
#include "InstallationFolder.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

using namespace kovra;

namespace {

class AgreeingDialogs : public DialogBackend {
public:
    AgreeingDialogs() : m_previous(SetDialogBackend(this)) {}
    ~AgreeingDialogs() override { SetDialogBackend(m_previous); }
    bool showMessage(const QString &, const QString &text, MessageKind kind, bool infoStyle, int lifetimeMs) override
    {
        if (!infoStyle && kind == MessageKind::OneButton)
            ++errors, lastError = text;
        if (lifetimeMs > 0)
            TimedMessageClosed(text);
        return false;
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    QString selectFolder(const QString &, const QString &) override { return {}; }
    ProgressSink &progress() override { return m_progress; }
    int errors = 0;
    QString lastError;

private:
    class Quiet : public ProgressSink {
    public:
        void begin(const QString &, bool) override {}
        void setText(const QString &) override {}
        void setPercent(int) override {}
        bool cancelled() override { return false; }
        void end() override {}
    } m_progress;
    DialogBackend *m_previous;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    AgreeingDialogs dialogs;
    InstallationFolder home;
    TdmdMain &dm = home.db();
    // Profiling aid: KOVRA_BENCH_PRAGMAS="journal_mode=WAL;synchronous=NORMAL" tries
    // other engine settings on the account database without rebuilding the library.
    for (const QString &p : qEnvironmentVariable("KOVRA_BENCH_PRAGMAS").split(';', Qt::SkipEmptyParts)) {
        QSqlQuery q(dm.accountDatabase());
        const bool ok = q.exec(QStringLiteral("PRAGMA ") + p);
        const bool row = ok && q.next();
        std::printf("PRAGMA %s: %s\n", qPrintable(p),
                    !ok ? qPrintable(q.lastError().text()) : row ? qPrintable(q.value(0).toString()) : "done");
    }

    QList<int> ids;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 10, 16, QLatin1Char('0')).toUpper();
        ids << dm.AddDefaultOptions(DefaultAccountValues(number, QStringLiteral("014")));
    }
    const double createSeconds = t.nsecsElapsed() / 1e9;
    std::printf("created %d accounts (85 options each) in %.3f s: %.0f accounts/s\n", count, createSeconds,
                count / createSeconds);

    const QString file = home.file(QStringLiteral("Export/bench.kva"));
    qint64 exportNs = 0, importNs = 0;
    int failures = 0;
    for (int id : ids) {
        t.restart();
        const bool exported = ExportAccount(dm, file, id);
        exportNs += t.nsecsElapsed();
        t.restart();
        const bool imported = exported && ImportAccount(dm, file);
        importNs += t.nsecsElapsed();
        if (!imported)
            ++failures;
    }
    const double n = ids.size();
    std::printf("export: mean %.3f ms; import over the existing account: mean %.3f ms; "
                "export + import: mean %.3f ms (%d failures)\n",
                exportNs / n / 1e6, importNs / n / 1e6, (exportNs + importNs) / n / 1e6, failures);
    if (failures)
        std::printf("last error: %s\n", qPrintable(dialogs.lastError));
    QSqlQuery q = RunSql(dm.accountDatabase(), QStringLiteral("SELECT count(*) FROM tblKovraOptions"));
    q.next();
    std::printf("accounts %d, option rows %d\n", dm.AccountCount(), q.value(0).toInt());
    return failures ? 1 : 0;
}
