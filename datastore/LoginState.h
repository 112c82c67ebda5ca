#pragma once
// Process-wide login state shared by every window and written into the log.
#include <QByteArray>
#include <QString>

namespace kovra {

enum Mode : int {
    ModeUnknown = 0,
    ModeSupervisor = 1,
    ModeAdministrator = 2,
    ModeUser = 3,
    ModeUnattended = 4,
    ModeNoDatabase = 5,
};

struct LoginState {
    int CurrentMode = ModeUnknown;
    int CurrentUserType = 0;
    QString CurrentUserName;
    QByteArray CurrentUserPassword;   // raw cipher output of the password
    bool ServiceLogin = false;
};

LoginState &Login();

} // namespace kovra
