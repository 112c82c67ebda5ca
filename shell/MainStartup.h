#pragma once
// The order in which the console comes up: data module, login gate (or the
// unattended start), password expiry, main window, device link.
#include <QObject>
#include <QStringList>
#include <memory>

namespace kovra {

class TdmdMain;
class TfrmMain;

struct ConsoleSession {
    std::unique_ptr<TdmdMain> dm;
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<QObject> communication;   // TdmdCommunication
    bool startupAborted = false;
    // The console ends as soon as its event loop starts.
    bool terminate = false;

    ConsoleSession();
    ~ConsoleSession();   // device link, main window, then the data module
};

// `arguments` without the program name. "-U" (any case) as the first one
// starts unattended; nothing else is recognised.
std::unique_ptr<ConsoleSession> StartConsole(const QStringList &arguments);

bool IsUnattendedStart(const QStringList &arguments);

} // namespace kovra
