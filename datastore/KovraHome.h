#pragma once
// The installation folder: udb.kdb, bdb, DB/, Export/, Import/, UPLOAD/ and
// KOVRACONSOLE.INI live here.
#include <QString>

namespace kovra {

// KOVRA_HOME when set, else the executable's folder when writable, else the
// user's data folder. Ends without a separator.
QString ResolveKovraHome();

// Overrides the folder for this process (kovra-cli --home, tests).
void SetKovraHome(const QString &folder);
QString KovraHome();

// KovraHome() + "/" + relative
QString HomePath(const QString &relative);

} // namespace kovra
