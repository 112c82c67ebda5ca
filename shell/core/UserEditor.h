#pragma once
// The rules of the user editor without its widgets: the type choices per
// logged-in user, the checks in order with their messages, the add and edit
// writes with their log events, and the stored-type check made before editing.
#include <QDate>
#include <QList>
#include <QString>

namespace kovra {

class TdmdMain;

struct UserTypeChoice {
    QString name;   // "Supervisor", "Administrator", "User"
    int type;       // stored UserType
};

// Service login: all three; Supervisor: Administrator and User; Administrator: User.
QList<UserTypeChoice> UserTypeChoices(int loggedInUserType, bool serviceLogin);

struct UserInput {
    QString loginName;
    QString firstName;
    QString lastName;
    int typeIndex = 0;   // index into the type choices
    QDate expireDate;
    QString password;
    QString verifyPassword;
};

// The box that gets the focus after a failed check.
enum class UserField { None, LoginName, FirstName, LastName, Password, VerifyPassword };

class UserEditor {
public:
    enum Mode { Add, Edit };

    // userId is used in edit mode only. The service login is read from the login state.
    UserEditor(TdmdMain &dm, Mode mode, int loggedInUserType, int userId = 0);

    Mode mode() const { return m_mode; }
    const QList<UserTypeChoice> &typeChoices() const { return m_choices; }

    // Add: "NewLogin", today, first choice. Edit: the row with its password
    // deciphered into both password boxes. False when the row is gone.
    bool load(UserInput &input) const;

    struct Outcome {
        bool saved = false;
        UserField focus = UserField::None;
    };
    // Runs the checks in order; the first failure is shown with ShowError and
    // nothing is written. Otherwise writes the row and logs the event.
    Outcome save(const UserInput &input);

    static constexpr int MinLoginLength = 5;
    static constexpr int MinPasswordLength = 8;
    static constexpr int MaxLength = 30;

private:
    TdmdMain &m_dm;
    Mode m_mode;
    int m_userId;
    QList<UserTypeChoice> m_choices;
};

// Before the editor opens on a user: the stored type check must decipher to
// UserType. Otherwise "Invalid User Data." is shown and false returned.
bool UserDataValid(TdmdMain &dm, int userId);

} // namespace kovra
