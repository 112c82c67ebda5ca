#pragma once
// The main window's maintenance commands: File "Open Database" and "Create New
// Database", Tools "Configure" and the database tools, and the log export.
// Each runs the whole command (dialogs, messages, log events, mode changes
// through the main-window hooks) and reports its outcome.
#include "DatabaseMaintenance.h"
#include "TDataSetToExcel.h"

class QWidget;

namespace kovra {

class TdmdMain;

OpenOutcome RunOpenDatabase(TdmdMain &dm, QWidget *parent);
OpenOutcome RunCreateDatabase(TdmdMain &dm, QWidget *parent);
CompactOutcome RunCompactAndRepair(TdmdMain &dm, QWidget *parent);
BackupOutcome RunBackup(TdmdMain &dm, QWidget *parent);
RestoreOutcome RunRestore(TdmdMain &dm, QWidget *parent);
ExportOutcome RunExportLogs(TdmdMain &dm, QWidget *parent);
// The configuration dialog, modal; QDialog::Accepted when OK was pressed.
int RunConfigure(TdmdMain &dm, QWidget *parent);

} // namespace kovra
