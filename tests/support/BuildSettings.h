#pragma once
// Build settings the tests need, such as the service login, read from the
// CMake cache of the build that compiled them (never copied into the tests).
#include <QString>

namespace kovra {

// The value of a cache entry ("KEY:TYPE=value"); empty when absent.
QString BuildSetting(const QString &key);

} // namespace kovra
