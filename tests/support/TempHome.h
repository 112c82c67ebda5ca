#pragma once
// A throw-away installation folder, set as the process's home for its lifetime.
#include <QString>
#include <QTemporaryDir>

namespace kovra {

class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.path() + "/" + relative; }

private:
    QTemporaryDir m_dir;
};

} // namespace kovra
