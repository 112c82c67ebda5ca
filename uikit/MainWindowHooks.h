#pragma once
// What other parts of the console may ask of the main window while it exists.
// The main window registers itself; MainWindow() is null before it is created
// (start-up, login at start, kovra-cli, tests of other windows).
#include <QString>

namespace kovra {

class MainWindowHooks {
public:
    virtual ~MainWindowHooks() = default;
    virtual int mode() const = 0;                       // the mode last applied
    virtual void setMode(int mode) = 0;                 // TApplicationMode::SetMode
    virtual void applyLoginMode() = 0;                  // UserType <- CurrentUserType; SetMode(CurrentMode)
    virtual void logOut(bool logEvent) = 0;
    virtual bool closeWindowsForAutoLogout() = 0;
    virtual void setCurrentDatabaseLabel(const QString &path) = 0;
    virtual void setDebugButtonVisible(bool visible) = 0;
    virtual void refreshAll() = 0;                      // re-read every page and counter
};

void SetMainWindowHooks(MainWindowHooks *hooks);
MainWindowHooks *MainWindow();

} // namespace kovra
