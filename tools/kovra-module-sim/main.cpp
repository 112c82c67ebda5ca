// kovra-module-sim: a simulated Kovra module for demonstrations and training.
#include "ModuleSimulator.h"
#include "Trace.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

using namespace kovra;

namespace {
std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop.store(true); }
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kovra-module-sim"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulated Kovra module on a TCP port."));
    p.addHelpOption();
    const QCommandLineOption host({"H", "host"}, "Address to listen on (default 127.0.0.1).", "address", "127.0.0.1");
    const QCommandLineOption port({"p", "port"}, "Console port (default 3064; 0 picks a free port).", "port", "3064");
    const QCommandLineOption gen({"g", "generation"}, "Firmware generation 010..014 (default 014).", "code", "014");
    const QCommandLineOption installer("installer", "Installer code, 4 hex digits (default: catalogue default).", "code");
    const QCommandLineOption key("key", "Encryption key, 32 hex digits (default: zero, no encryption).", "key");
    const QCommandLineOption version("version-value", "Value of option 326 (software version).", "hex");
    const QCommandLineOption load("load", "Load option values from FILE (lines NNN=value).", "file");
    const QCommandLineOption dump("dump", "Write option values to FILE on exit.", "file");
    const QCommandLineOption noReply("no-reply-after", "Fall silent after N commands.", "n");
    const QCommandLineOption badSum("bad-checksum-at", "Corrupt the checksum of the reply to command N.", "n");
    const QCommandLineOption wrongReply("wrong-reply-at", "Answer command N with a wrong reply command.", "n");
    const QCommandLineOption reRequest("re-request-at", "Ask for a new session instead of answering command N.", "n");
    const QCommandLineOption closeAt("close-at", "Drop the connection on command N.", "n");
    const QCommandLineOption delay("delay", "Delay every reply by MS milliseconds.", "ms");
    const QCommandLineOption leadIn("lead-in-status", "Answer every lead-in with this status (0..255).", "n");
    const QCommandLineOption split("split", "Write replies in pieces of N bytes.", "n");
    const QCommandLineOption verbose({"v", "verbose"}, "Print every command received.");
    for (const auto &o : {host, port, gen, installer, key, version, load, dump, noReply, badSum, wrongReply,
                          reRequest, closeAt, delay, leadIn, split, verbose})
        p.addOption(o);
    p.process(app);

    Generation g = Generation::V14;
    if (!GenerationFromCode(p.value(gen), &g)) {
        std::fprintf(stderr, "Unknown generation \"%s\" (use 010 .. 014).\n", qPrintable(p.value(gen)));
        return 2;
    }
    ModuleSimulator sim(g);
    QString error;
    if (p.isSet(load) && !sim.loadValues(p.value(load), &error)) {
        std::fprintf(stderr, "Cannot load %s: %s\n", qPrintable(p.value(load)), qPrintable(error));
        return 2;
    }
    if (p.isSet(installer))
        sim.setInstallerCode(p.value(installer));
    if (p.isSet(key))
        sim.setKey(p.value(key));
    if (p.isSet(version))
        sim.setOptionValue(QStringLiteral("326"), p.value(version));
    const auto intOpt = [&](const QCommandLineOption &o, int def) { return p.isSet(o) ? p.value(o).toInt() : def; };
    sim.faults.noReplyAfter = intOpt(noReply, -1);
    sim.faults.badChecksumAt = intOpt(badSum, -1);
    sim.faults.wrongReplyAt = intOpt(wrongReply, -1);
    sim.faults.reRequestAt = intOpt(reRequest, -1);
    sim.faults.closeAt = intOpt(closeAt, -1);
    sim.faults.delayMs = intOpt(delay, 0);
    sim.faults.leadInStatus = intOpt(leadIn, -1);
    sim.faults.splitReplies = intOpt(split, 0);

    if (!sim.listen(QHostAddress(p.value(host)), quint16(p.value(port).toUInt()))) {
        std::fprintf(stderr, "Cannot listen on %s:%s: %s\n", qPrintable(p.value(host)), qPrintable(p.value(port)),
                     qPrintable(sim.errorString()));
        return 1;
    }
    std::printf("Kovra module simulator (generation %s) listening on %s:%u, installer code %s, key %s\n",
                qPrintable(p.value(gen)), qPrintable(p.value(host)), unsigned(sim.port()),
                qPrintable(sim.installerCode()), qPrintable(sim.key()));
    std::fflush(stdout);
    if (p.isSet(verbose)) {
        QObject::connect(&sim, &ModuleSimulator::commandReceived, [](const QString &d) {
            std::printf("command %s\n", qPrintable(d));
            std::fflush(stdout);
        });
    }
    QObject::connect(&sim, &ModuleSimulator::resetRequested, [] {
        std::printf("reset requested\n");
        std::fflush(stdout);
    });

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &app, [&app] {
        if (g_stop.load())
            app.quit();
    });
    stopPoll.start(100);
    const int rc = app.exec();
    if (p.isSet(dump) && !sim.dumpValues(p.value(dump), &error)) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(p.value(dump)), qPrintable(error));
        return 1;
    }
    return rc;
}
