#pragma once
// kovra-cli module ...: programming a module from the terminal with the
// account's link settings.
#include <QStringList>

namespace kovra {

class CliContext;

// Exit status: 0 for a finished operation, otherwise 10 + the CommResult
// (12 no reply, 15 cancelled, 16 rejected ...); 1 refused, 2 usage.
int RunModuleCommand(CliContext &ctx, const QStringList &args);

} // namespace kovra
