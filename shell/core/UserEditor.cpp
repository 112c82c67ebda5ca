#include "UserEditor.h"

#include "LoginState.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"

namespace kovra {

QList<UserTypeChoice> UserTypeChoices(int loggedInUserType, bool serviceLogin)
{
    const UserTypeChoice supervisor{QStringLiteral("Supervisor"), ModeSupervisor};
    const UserTypeChoice administrator{QStringLiteral("Administrator"), ModeAdministrator};
    const UserTypeChoice user{QStringLiteral("User"), ModeUser};
    if (serviceLogin)
        return {supervisor, administrator, user};
    if (loggedInUserType == ModeSupervisor)
        return {administrator, user};
    if (loggedInUserType == ModeAdministrator)
        return {user};
    return {};
}

UserEditor::UserEditor(TdmdMain &dm, Mode mode, int loggedInUserType, int userId)
    : m_dm(dm), m_mode(mode), m_userId(userId),
      m_choices(UserTypeChoices(loggedInUserType, Login().ServiceLogin))
{
}

bool UserEditor::load(UserInput &input) const
{
    input = UserInput();
    if (m_mode == Add) {
        input.loginName = QStringLiteral("NewLogin");
        input.expireDate = QDate::currentDate();
        return true;
    }
    QSqlQuery q = RunSql(m_dm.userDatabase(),
                         QStringLiteral("SELECT UserLoginName, UserFirstName, UserLastName, UserType, "
                                        "UserExpireDate, UserPassword FROM tblUser WHERE User_ID = ?"),
                         {m_userId});
    if (!q.next())
        return false;
    input.loginName = q.value(0).toString();
    input.firstName = q.value(1).toString();
    input.lastName = q.value(2).toString();
    const int type = q.value(3).toInt();
    for (int i = 0; i < m_choices.size(); ++i)
        if (m_choices.at(i).type == type)
            input.typeIndex = i;
    input.expireDate = ReadStoredDate(q.value(4));
    input.password = DecryptPassword(input.loginName, HexToBytes(q.value(5).toString()));
    input.verifyPassword = input.password;
    return true;
}

UserEditor::Outcome UserEditor::save(const UserInput &in)
{
    auto fail = [](const QString &text, UserField field) {
        ShowError(text);
        return Outcome{false, field};
    };

    QString loginName = in.loginName;
    if (m_mode == Add) {
        if (in.loginName.isEmpty())
            return fail(QStringLiteral("Please provide a Login Name."), UserField::LoginName);
        if (in.loginName.size() < MinLoginLength)
            return fail(QStringLiteral("Login Name should be at least ") + QString::number(MinLoginLength) +
                            QStringLiteral(" characters long."),
                        UserField::LoginName);
        if (UserLoginExists(m_dm.userDatabase(), in.loginName))
            return fail(QStringLiteral("This Login Name already exists. Please provide another one."),
                        UserField::LoginName);
    } else {
        // The stored name, not the box: the password key derives from it.
        QSqlQuery q = RunSql(m_dm.userDatabase(),
                             QStringLiteral("SELECT UserLoginName FROM tblUser WHERE User_ID = ?"), {m_userId});
        if (!q.next())
            return fail(QStringLiteral("Invalid User Data."), UserField::None);
        loginName = q.value(0).toString();
    }
    if (in.firstName.isEmpty())
        return fail(QStringLiteral("Please provide a User First Name."), UserField::FirstName);
    if (in.lastName.isEmpty())
        return fail(QStringLiteral("Please provide a User Last Name."), UserField::LastName);
    if (in.password.isEmpty())
        return fail(QStringLiteral("Please provide a Password."), UserField::Password);
    if (in.password.size() < MinPasswordLength)
        return fail(QStringLiteral("Password should be at least ") + QString::number(MinPasswordLength) +
                        QStringLiteral(" characters long."),
                    UserField::Password);
    if (in.verifyPassword != in.password)
        return fail(QStringLiteral("Please re-enter the correct Password."), UserField::VerifyPassword);
    if (in.typeIndex < 0 || in.typeIndex >= m_choices.size())
        return fail(QStringLiteral("Please select a User Type."), UserField::None);

    UserRecord record;
    record.UserLoginName = loginName;
    record.UserFirstName = in.firstName;
    record.UserLastName = in.lastName;
    record.password = in.password;
    record.UserType = m_choices.at(in.typeIndex).type;
    record.UserExpireDate = in.expireDate;
    try {
        if (m_mode == Add) {
            m_userId = m_dm.AddUser(record);
            m_dm.WriteLogEvent(12, loginName);
        } else {
            m_dm.UpdateUser(m_userId, record);
            m_dm.WriteLogEvent(13, loginName);
        }
    } catch (const DatabaseError &e) {
        return fail(e.text(), UserField::None);
    }
    return Outcome{true, UserField::None};
}

bool UserDataValid(TdmdMain &dm, int userId)
{
    QSqlQuery q = RunSql(dm.userDatabase(),
                         QStringLiteral("SELECT UserLoginName, UserType, UserTypeAuth FROM tblUser WHERE User_ID = ?"),
                         {userId});
    if (q.next() && CheckTypeAuth(q.value(0).toString(), q.value(2).toString(), q.value(1).toInt()))
        return true;
    ShowTimedError(QStringLiteral("Invalid User Data."), -5000);
    return false;
}

} // namespace kovra
