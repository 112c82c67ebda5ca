#pragma once
// What each application mode offers in the main window, as data: TApplicationMode
// applies a row of this table to the window's controls.
#include <QList>
#include <QString>
#include <QStringList>

namespace kovra {

// -1 leaves a property as it is.
struct ControlRule {
    int shown = -1;
    int enabled = -1;
};

struct OutlookGroupRule {
    QString caption;
    QStringList items;
};

struct ModeRule {
    int mode = 0;
    QString statusText;               // stpMode
    QString loginCaption;             // btnLogin; empty: unchanged
    ControlRule config;               // btnConfig
    ControlRule about;                // btnAbout
    ControlRule exit;                 // btnExit
    bool debugAllowed = false;        // btnDebug shown after the service login
    bool logCommands = false;         // btnLogDelete, btnLogDeleteAll, log pop-up entries
    bool saveToExcel = false;         // btnSaveToExcel
    bool memo2Enabled = false;        // DBMemo2
    QStringList pages;                // pages shown, by object name
    QString activePage;               // empty: unchanged
    ControlRule kovraTable;           // btnKovraTable
    ControlRule receiverPopupTable;   // receivers pop-up "&Receiver Kovra Table"
    QStringList fileMenu;             // entries shown, by caption
    QStringList viewMenu;             // empty: the menu is hidden
    QStringList toolsMenu;            // incl. "&Database Tools" and its entries; empty: hidden
    bool helpMenu = false;
    bool userFilterChanged = false;   // false: the user list keeps its filter
    QString userFilter;               // SQL condition; empty: none
    QString loggedUserPrefix;         // stpLoggedUser: prefix + login text; empty: pane emptied
    int logEvent = -1;                // audit event written when the mode is applied
    QList<OutlookGroupRule> outlook;  // groups 1 onwards
};

// The row for a mode code (0..5); unknown codes give the Unknown row.
const ModeRule &ModeRuleFor(int mode);

// Outlook group (1-based) that matches a page in a mode; 0 when none.
int OutlookGroupForPage(int mode, const QString &pageName);

// CurrentUserName + " logged on at " + time + " " + date (system short formats).
QString LoginText(const QString &userName);

// Page object names.
inline const char *const kPageAccounts = "tbsKovra";
inline const char *const kPageReceivers = "tbsReceiver";
inline const char *const kPageUsers = "tbsManageUsers";
inline const char *const kPageLogs = "tbsLogs";

} // namespace kovra
