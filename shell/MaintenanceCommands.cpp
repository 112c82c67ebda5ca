#include "MaintenanceCommands.h"
#include "KovraHome.h"
#include "TdmdMain.h"
#include "TfrmConfiguration.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>

namespace kovra {

namespace {
void waitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void installCursor() { SetWaitCursorHook(&waitCursor); }
} // namespace

OpenOutcome RunOpenDatabase(TdmdMain &dm, QWidget *)
{
    installCursor();
    return OpenDatabaseCommand(dm);
}

OpenOutcome RunCreateDatabase(TdmdMain &dm, QWidget *)
{
    installCursor();
    return CreateDatabaseCommand(dm);
}

CompactOutcome RunCompactAndRepair(TdmdMain &dm, QWidget *)
{
    installCursor();
    return CompactCommand(dm);
}

BackupOutcome RunBackup(TdmdMain &dm, QWidget *)
{
    installCursor();
    return BackupCommand(dm);
}

RestoreOutcome RunRestore(TdmdMain &dm, QWidget *)
{
    installCursor();
    return RestoreCommand(dm);
}

ExportOutcome RunExportLogs(TdmdMain &dm, QWidget *)
{
    return ExportLogsToExcel(dm.userDatabase(), HomePath(QStringLiteral("Export")));
}

int RunConfigure(TdmdMain &dm, QWidget *parent)
{
    TfrmConfiguration dialog(dm, parent);
    return dialog.exec();
}

} // namespace kovra
