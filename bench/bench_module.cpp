// Full Get All, and Set All with its verifying Get All, of a 1.4x account
// against the simulated module over loopback: time and commands sent.
#include "MessageDialogs.h"
#include "ModuleSimFixture.h"
#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace kovra;

namespace {
// CPU time of the whole process (console side and simulated module): on a busy
// machine it says more than the wall clock.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ScriptedDialogs dialogs;
    constexpr int runs = 20;
    for (const bool encrypted : {false, true}) {
        ModuleSimFixture fx(Generation::V14, encrypted ? QStringLiteral("00112233445566778899AABBCCDDEEFF") : QString());
        fx.link.setReadTimeout(10000);
        fx.link.setWatchdogTimeout(10000);
        const LinkSettings s = fx.apply();
        QList<double> getAll, setAll, getAllCpu, setAllCpu;
        int getCmds = 0, getFirstCmds = 0, setCmds = 0, failures = 0;
        for (int i = 0; i < runs; ++i) {
            // Get All in a fresh session: lead-in and version check included.
            fx.link.SessionOpen = false;
            fx.sim.clearLog();
            KovraOptionList list = fx.options();
            QElapsedTimer t;
            t.start();
            double cpu = cpuMs();
            failures += fx.link.GetAllOptions(list, "Getting All Options. Please wait...", false, 0, 0, s.Encrypt, s.Key) != crOk;
            getAll << t.nsecsElapsed() / 1e6;
            getAllCpu << cpuMs() - cpu;
            getFirstCmds = fx.sim.commandCount();

            // Set All and the verifying Get All, as the programming window runs them.
            fx.sim.clearLog();
            list = fx.options();
            t.restart();
            cpu = cpuMs();
            failures += fx.link.SetAllOptions(list, "Setting All Options. Please wait...", false, 0, 0, s.Encrypt, s.Key) != crOk;
            failures += fx.link.GetAllOptions(list, "Verifying All Options. Please wait...", false, 0, 0, s.Encrypt, s.Key) != crOk;
            setAll << t.nsecsElapsed() / 1e6;
            setAllCpu << cpuMs() - cpu;
            setCmds = fx.sim.commandCount();
            getCmds = getFirstCmds - 3;   // lead-in and the version check's Locate and Read
        }
        std::printf("%s link, 1.4x account, %d runs\n", encrypted ? "encrypted" : "unencrypted", runs);
        std::printf("  Get All: median %.2f ms wall (min %.2f, max %.2f), %.2f ms CPU; %d commands, %d besides lead-in "
                    "and version check\n",
                    median(getAll), *std::min_element(getAll.begin(), getAll.end()),
                    *std::max_element(getAll.begin(), getAll.end()), median(getAllCpu), getFirstCmds, getCmds);
        std::printf("  Set All + verifying Get All (session open): median %.2f ms wall (min %.2f, max %.2f), %.2f ms CPU; "
                    "%d commands\n",
                    median(setAll), *std::min_element(setAll.begin(), setAll.end()),
                    *std::max_element(setAll.begin(), setAll.end()), median(setAllCpu), setCmds);
        if (failures)
            std::printf("  %d transfers failed\n", failures);
    }
    return 0;
}
