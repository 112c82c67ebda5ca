#pragma once
// The rules of the configuration dialog without its widgets: what the controls
// show for the stored settings and what OK makes of them.
#include <QString>
#include <QStringList>

namespace kovra {

class TdmdMain;
struct Settings;

// The controls' ranges.
constexpr int ExpireMin = 1, ExpireMax = 180, ExpireStep = 10;
constexpr int AutoLogoutMin = 1, AutoLogoutMax = 20;
constexpr int TcpServerPortMin = 1024, TcpServerPortMax = 65535;

// What the dialog shows and edits.
struct ConfigurationInput {
    int expireDays = 90;               // edtExpire
    bool passwordNeverExpires = false; // cbPasswordExpire
    int autoLogoutMinutes = 3;         // edtAutoLogout
    bool noAutoLogout = true;          // cbAutologout
    QString comPort;                   // cbxComPort text
    int baudIndex = -1;                // cbxBaud position, -1: no choice shown
    int dataBitsIndex = -1;            // cbxDatabits position, -1: none shown
    int tcpServerPort = 3077;          // edtTCPServer
};

// The stored settings as the controls show them: seconds as whole minutes,
// values outside a control's range brought to its nearest end.
ConfigurationInput InputFromSettings(const Settings &settings);

// cbxBaud's choices and the stored codes they stand for.
QStringList BaudChoices();
QStringList DataBitsChoices();
int BaudIndexForCode(int code);                  // -1 for codes without a choice (0, 1, 3, 11)
int BaudCodeForIndex(int index, int storedCode); // storedCode when no choice is selected

// Serial ports the system reports, each once (for cbxComPort).
QStringList SystemSerialPorts();

// OK: the hidden page's values, the server port, the access values (minutes
// times 60) become the settings in force; the file is written (its failure
// notice shown by the writer) and "Configuration Change" logged. Returns
// whether the file was written; the settings are in force either way.
bool ApplyConfiguration(TdmdMain &dm, const ConfigurationInput &input);

} // namespace kovra
