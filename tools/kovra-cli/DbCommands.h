#pragma once
// kovra-cli: database maintenance, the log spreadsheet and the configuration.
//   db backup [FILE] | db restore ARCHIVE DIR | db compact FILE | db create FILE
//   log export FILE
//   config show | config set KEY VALUE
#include <QStringList>

namespace kovra {

class CliContext;

int RunDbCommand(CliContext &ctx, const QStringList &args);
int RunLogExport(CliContext &ctx, const QStringList &args);
int RunConfigCommand(CliContext &ctx, const QStringList &args);

} // namespace kovra
