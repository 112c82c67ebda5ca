#include "TempHome.h"
#include "KovraHome.h"

#include <QDir>

namespace kovra {

TempHome::TempHome()
{
    QDir d(m_dir.path());
    for (const char *sub : {"DB", "Export", "Import", "UPLOAD"})
        d.mkpath(sub);
    SetKovraHome(m_dir.path());
}

TempHome::~TempHome() { SetKovraHome(QString()); }

} // namespace kovra
