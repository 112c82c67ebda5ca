#include "LoginFlow.h"

#include "KovraHome.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"

#include <QCoreApplication>
#include <QDate>
#include <QMetaObject>

namespace kovra {
namespace {

ForcedPasswordChange &forcedChange()
{
    static ForcedPasswordChange change;
    return change;
}

TerminationRequest &termination()
{
    static TerminationRequest request;
    return request;
}

// The console stays up when the login was opened from its main window, so the
// start-up texts' "Application terminated." would be untrue there.
QString endingText(const QString &text)
{
    if (MainWindow())
        return text;
    return text + QStringLiteral("\r\nApplication terminated.");
}

const int MaxFailures = 3;

} // namespace

LoginFlow::LoginFlow(TdmdMain &dm) : m_dm(dm) {}

void LoginFlow::start()
{
    m_failures = 0;
    Login().ServiceLogin = false;
}

LoginFlow::Attempt LoginFlow::tryLogin(const QString &name, const QString &password)
{
    LoginState &state = Login();
    const QByteArray cipher = EncryptPassword(name, password);
    int type = 0;
    if (IsServiceLogin(name, password)) {
        state.ServiceLogin = true;
        type = ModeAdministrator;
    } else {
        type = m_dm.LookupUser(name, QString::fromLatin1(cipher.toHex().toUpper()));
    }

    if (type == 0) {
        ++m_failures;
        if (m_failures >= MaxFailures) {
            if (!(MainWindow() && MainWindow()->mode() == ModeUnattended)) {
                ShowTimedError(endingText(QStringLiteral("You are not allowed to run the program.")), -5000);
                QCoreApplication::processEvents();
            }
            return Attempt::Refused;
        }
        ShowTimedError(QStringLiteral("You have entered an invalid Password and/or Login name. Please remember "
                                      "that the Password and Login Name are case sensitive. Please try again."),
                       -5000);
        return Attempt::TryAgain;
    }

    state.CurrentUserName = name;
    state.CurrentUserPassword = cipher;
    state.CurrentUserType = type;
    state.CurrentMode = type;
    if (!state.ServiceLogin)
        m_dm.WriteLogEvent(0, name);
    return Attempt::Admitted;
}

LoginFlow::Gate LoginFlow::databaseGate()
{
    LoginState &state = Login();
    if (state.CurrentMode == ModeSupervisor || (!m_dm.needsDatabase() && m_dm.databaseOpen()))
        return Gate::Ok;

    FileDialogRequest request;
    request.title = QStringLiteral("Kovra Console | Please Select a Database");
    request.folder = HomePath(QStringLiteral("DB"));
    request.filter = QStringLiteral("Kovra Database Files (*.kdb)");
    request.defaultSuffix = QStringLiteral("kdb");
    request.mustExist = true;
    const QString path = OpenFileName(request);
    if (path.isEmpty()) {
        ShowError(QStringLiteral("You must select a Database.\r\nApplication terminated."));
        RequestTermination();
        return Gate::Terminate;
    }

    m_dm.CloseDatabase();
    m_dm.SetCurrentDatabasePath(path);
    bool raised = false;
    try {
        m_dm.OpenDatabase();
    } catch (const DatabaseError &) {
        raised = true;
    }
    m_dm.setNeedsDatabase(false);

    Gate result = Gate::Ok;
    if (raised || !m_dm.databaseOpen()) {
        const QString text = QStringLiteral("An error occurred while opening the Database.");
        if (raised)
            ShowError(text);
        else
            ShowTimedError(text, -5000);
        m_dm.SetCurrentDatabasePath(QStringLiteral("No Database loaded."));
        m_dm.OpenUserDatabase();
        m_dm.setNeedsDatabase(true);
        state.CurrentMode = ModeNoDatabase;
        result = Gate::Abort;
    }
    if (MainWindow())
        MainWindow()->setCurrentDatabaseLabel(m_dm.CurrentDatabasePath());
    return result;
}

bool AnnounceLoginCancelled()
{
    if (MainWindow() && MainWindow()->mode() == ModeUnattended)
        return false;
    ShowTimedError(endingText(QStringLiteral("Login cancelled.")), -5000);
    QCoreApplication::processEvents();
    return true;
}

ForcedPasswordChange SetForcedPasswordChange(ForcedPasswordChange change)
{
    ForcedPasswordChange previous = forcedChange();
    forcedChange() = std::move(change);
    return previous;
}

bool HasForcedPasswordChange() { return bool(forcedChange()); }

bool CheckPasswordExpiry(TdmdMain &dm)
{
    PasswordExpiry expiry;
    try {
        expiry = dm.CheckPasswordExpiry();
    } catch (const DatabaseError &e) {
        ShowError(e.text());
        return false;
    }
    if (expiry == PasswordExpiry::Valid)
        return true;
    if (expiry == PasswordExpiry::UserNotFound)
        return false;

    const LoginState &state = Login();
    ShowInfo(QStringLiteral("Your Password has expired. Please change your Password."));
    const QString oldPassword = DecryptPassword(state.CurrentUserName, state.CurrentUserPassword);
    if (!forcedChange() || !forcedChange()(dm, oldPassword))
        return false;
    AnnouncePasswordChanged(dm);
    return true;
}

void AnnouncePasswordChanged(TdmdMain &dm)
{
    dm.WriteLogEvent(2, Login().CurrentUserName);
    ShowTimedInfo(QStringLiteral("Your Password has been changed succesfully."), -5000);
}

TerminationRequest SetTerminationRequest(TerminationRequest request)
{
    TerminationRequest previous = termination();
    termination() = std::move(request);
    return previous;
}

void RequestTermination()
{
    if (termination()) {
        termination()();
        return;
    }
    // Queued, so that a request made before the event loop runs ends the
    // console as soon as it starts.
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

PasswordChangeState PasswordChangeRules(const QString &oldPassword, const QString &newPassword,
                                        const QString &verifyPassword)
{
    PasswordChangeState s;
    s.verifyEnabled = newPassword.size() >= 8 && newPassword != oldPassword;
    // OK also needs the verification box to be in force: a verification typed
    // earlier must not confirm a new password that was shortened afterwards.
    s.okEnabled = s.verifyEnabled && !newPassword.isEmpty() && verifyPassword == newPassword;
    return s;
}

bool ChangeOwnPassword(TdmdMain &dm, const QString &oldPassword, const QString &newPassword)
{
    LoginState &state = Login();
    const QString name = state.CurrentUserName;
    if (!dm.VerifyPassword(name, StoredPassword(name, oldPassword))) {
        ShowTimedError(QStringLiteral("Please provide the correct Old Password."), -5000);
        return false;
    }
    if (!PasswordChangeRules(oldPassword, newPassword, newPassword).okEnabled)
        return false;   // the window never offers OK for such a password

    // Only the logged-in user's own row: names that differ only in letter case
    // belong to other users.
    RunSql(dm.userDatabase(),
           QStringLiteral("UPDATE tblUser SET UserPassword = ?, UserExpireDate = ? "
                          "WHERE UserLoginName = ? COLLATE BINARY"),
           {Text(StoredPassword(name, newPassword)),
            QDate::currentDate().addDays(dm.settings().validity).toString(Qt::ISODate), Text(name)});
    state.CurrentUserPassword = EncryptPassword(name, newPassword);
    emit dm.usersChanged();
    return true;
}

} // namespace kovra
