// Kovra Console: start-up and the message loop.
#include "MainStartup.h"
#include "TWidgetDialogBackend.h"
#include "TfrmMain.h"

#if __has_include("TfrmChangePassword.h")
#include "TfrmChangePassword.h"
#define KOVRA_HAVE_CHANGEPASSWORD 1
#endif

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kovra Console"));
    // No display name: the platform would append it to every caption, which
    // already starts with the application title.
    QApplication::setApplicationVersion(QStringLiteral(KOVRA_VERSION));
    // Closing the main window ends the console, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);

    kovra::TWidgetDialogBackend dialogs;
    kovra::SetDialogBackend(&dialogs);
#ifdef KOVRA_HAVE_CHANGEPASSWORD
    kovra::InstallForcedPasswordChange();
#endif

    int rc = 0;
    {
        auto session = kovra::StartConsole(QApplication::arguments().mid(1));
        if (session->terminate || !session->main) {
            rc = 1;
        } else {
            QObject::connect(session->main.get(), &kovra::TfrmMain::closed, &app, &QCoreApplication::quit,
                             Qt::QueuedConnection);
            session->main->show();
            rc = app.exec();
        }
    }
    kovra::SetDialogBackend(nullptr);
    return rc;
}
