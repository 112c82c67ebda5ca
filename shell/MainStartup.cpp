#include "MainStartup.h"

#include "LoginState.h"
#include "MessageDialogs.h"
#include "TBaseForm.h"
#include "TdmdMain.h"
#include "TfrmMain.h"

#if __has_include("TfrmLogin.h")
#include "LoginFlow.h"
#include "TfrmLogin.h"
#define KOVRA_HAVE_LOGIN 1
#endif
#if __has_include("TdmdCommunication.h")
#include "TdmdCommunication.h"
#define KOVRA_HAVE_LINK 1
#endif

#include <exception>

namespace kovra {

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession()
{
    communication.reset();
    main.reset();
    dm.reset();
}

bool IsUnattendedStart(const QStringList &arguments)
{
    return !arguments.isEmpty() && arguments.first().toUpper() == QLatin1String("-U");
}

namespace {
void requestEnd(ConsoleSession &s)
{
    s.terminate = true;
#ifdef KOVRA_HAVE_LOGIN
    RequestTermination();
#endif
}
} // namespace

std::unique_ptr<ConsoleSession> StartConsole(const QStringList &arguments)
{
    auto s = std::make_unique<ConsoleSession>();
    // A second copy is let through: both databases are opened for exclusive
    // use, so it stops at the user database with its own message.
    SetApplicationTitle(QStringLiteral("Kovra Console"));

    s->dm = std::make_unique<TdmdMain>();
    LoginState &login = Login();
    if (s->dm->terminationRequested()) {
        // The data module has already said why (missing or locked udb.kdb).
        s->startupAborted = true;
        s->terminate = true;
        return s;
    }

    if (s->dm->userDatabaseOpen()) {
        if (IsUnattendedStart(arguments)) {
            login.CurrentUserType = ModeUnattended;
            login.CurrentMode = ModeUnattended;
        } else {
#ifdef KOVRA_HAVE_LOGIN
            int result = LoginCancel;
            try {
                TfrmLogin window(*s->dm);
                result = window.exec();
            } catch (const std::exception &) {
                ShowError(QStringLiteral("Could not run login script.\r\nApplication terminated."));
                s->startupAborted = true;
                requestEnd(*s);
            }
            if (!s->startupAborted && result != LoginOk && result != LoginAbort) {
                s->startupAborted = true;
                requestEnd(*s);
            }
            if (!s->startupAborted && !CheckPasswordExpiry(*s->dm)) {
                ShowError(QStringLiteral("You did not change your Password. Application terminated."));
                s->startupAborted = true;
                requestEnd(*s);
            }
#else
            ShowError(QStringLiteral("Could not run login script.\r\nApplication terminated."));
            s->startupAborted = true;
            s->terminate = true;
#endif
        }
    } else {
        login.CurrentUserType = 0;
        login.CurrentMode = ModeNoDatabase;
    }

    if (s->startupAborted)
        return s;
    s->main = std::make_unique<TfrmMain>(*s->dm);
#ifdef KOVRA_HAVE_LINK
    s->communication = std::make_unique<TdmdCommunication>();
#else
    s->communication = std::make_unique<QObject>();
#endif
    if (s->dm->terminationRequested())
        s->terminate = true;
    return s;
}

} // namespace kovra
