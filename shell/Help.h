#pragma once
// The manual and the about window's links, opened by the desktop.
#include <QString>
#include <QUrl>
#include <functional>

namespace kovra {

// How a file or link is handed to the desktop (tests install a recorder).
using UrlOpener = std::function<bool(const QUrl &url)>;
UrlOpener SetUrlOpener(UrlOpener opener);   // returns the previous one
bool OpenUrl(const QUrl &url);

// "Kovra_Console_Manual.pdf" in the installation folder, else the Markdown
// manual "Kovra_Console_Manual.md" there; empty when neither exists.
QString ManualPath();

// Opens the manual, or shows "Help file is missing..." when there is none.
void OpenManual();

} // namespace kovra
