#pragma once
// Collects trace lines for the lifetime of the object.
#include "Trace.h"

#include <QMutex>
#include <QStringList>

class TraceCapture {
public:
    TraceCapture()
    {
        kovra::SetTraceSink([this](const QString &l) {
            QMutexLocker lock(&m_mutex);
            m_lines << l;
        });
    }
    ~TraceCapture() { kovra::SetTraceSink(nullptr); }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    int count(const QString &line) const { return int(lines().count(line)); }
    bool has(const QString &prefix) const
    {
        for (const QString &l : lines())
            if (l.startsWith(prefix))
                return true;
        return false;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};
