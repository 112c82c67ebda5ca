#pragma once
// The rules behind the login and change-password windows, free of widgets so
// that they can be driven directly: the OK algorithm with its failure counter,
// the account-database gate, the password-expiry check with its forced change,
// and the own-password change.
#include <QByteArray>
#include <QString>
#include <functional>

namespace kovra {

class TdmdMain;

// One showing of the login window.
class LoginFlow {
public:
    enum class Attempt {
        Admitted,   // login state written; run databaseGate() next
        TryAgain,   // message shown, password box to be emptied
        Refused,    // third failure: the window closes with Cancel
    };
    enum class Gate {
        Ok,          // database open or not needed
        Abort,       // logged in, but the chosen database could not be opened (mode No Database)
        Terminate,   // no database chosen: the application has been asked to end
    };

    explicit LoginFlow(TdmdMain &dm);

    // Called each time the window is shown: counter to 0, ServiceLogin cleared.
    void start();
    Attempt tryLogin(const QString &name, const QString &password);
    Gate databaseGate();
    int failures() const { return m_failures; }

private:
    TdmdMain &m_dm;
    int m_failures = 0;
};

// The login window closed with Cancel: shows "Login cancelled..." unless the
// main window exists in mode Unattended. Returns whether it was shown (the
// window then waits a moment so the notice can be read).
bool AnnounceLoginCancelled();

// The change-password window shown by CheckPasswordExpiry with the old
// password filled in and locked. Returns true when a new password was saved.
using ForcedPasswordChange = std::function<bool(TdmdMain &dm, const QString &oldPassword)>;
ForcedPasswordChange SetForcedPasswordChange(ForcedPasswordChange change);   // returns the previous one
bool HasForcedPasswordChange();

// After every login: true when the user may go on (password valid, never
// expires, service login, or changed now).
bool CheckPasswordExpiry(TdmdMain &dm);

// After a password change was saved: event 2 and the confirmation notice.
void AnnouncePasswordChanged(TdmdMain &dm);

// How the application is asked to end (default: quit as soon as the event
// loop runs). Tests install a recorder.
using TerminationRequest = std::function<void()>;
TerminationRequest SetTerminationRequest(TerminationRequest request);   // returns the previous one
void RequestTermination();

// Change-password window rules.
struct PasswordChangeState {
    bool verifyEnabled = false;
    bool okEnabled = false;
};
PasswordChangeState PasswordChangeRules(const QString &oldPassword, const QString &newPassword,
                                        const QString &verifyPassword);

// Changes the logged-in user's own password. False (after "Please provide the
// correct Old Password.") when the old one does not match; nothing is written then.
bool ChangeOwnPassword(TdmdMain &dm, const QString &oldPassword, const QString &newPassword);

} // namespace kovra
