#include "Help.h"

#include "KovraHome.h"
#include "MessageDialogs.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace kovra {
namespace {

UrlOpener &opener()
{
    static UrlOpener current;
    return current;
}

} // namespace

UrlOpener SetUrlOpener(UrlOpener next)
{
    UrlOpener previous = opener();
    opener() = std::move(next);
    return previous;
}

bool OpenUrl(const QUrl &url)
{
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

QString ManualPath()
{
    // The PDF is what an installation ships; the Markdown source serves where
    // no converter was at hand when the installation folder was made.
    for (const char *name : {"Kovra_Console_Manual.pdf", "Kovra_Console_Manual.md"}) {
        const QFileInfo info(HomePath(QString::fromLatin1(name)));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return {};
}

void OpenManual()
{
    const QString path = ManualPath();
    if (path.isEmpty()) {
        ShowTimedError("Help file is missing. Please re-install the Kovra Console.", -5000);
        return;
    }
    OpenUrl(QUrl::fromLocalFile(path));
}

} // namespace kovra
