#pragma once
// Returns an idle console to mode Unattended: any key, mouse button or mouse
// movement resets the idle time; a periodic tick adds to it and, past the
// configured time, clears the console through the main window and logs out.
#include <QObject>

class QTimer;

namespace kovra {

class TdmdMain;

class AutoLogout : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTickMs = 5000;
    static constexpr int DefaultLogoutDelayMs = 250;

    // Installs an application-wide event filter and starts the tick.
    explicit AutoLogout(TdmdMain &dm, QObject *parent = nullptr, int tickMs = DefaultTickMs,
                        int logoutDelayMs = DefaultLogoutDelayMs);
    ~AutoLogout() override;

    int idleSeconds() const { return m_idleSeconds; }
    void resetIdle() { m_idleSeconds = 0; }
    // One tick of the timer; the timer calls it, and so may tests.
    void tick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TdmdMain &m_dm;
    QTimer *m_timer;
    int m_logoutDelayMs;
    int m_idleSeconds = 0;
    bool m_busy = false;
};

} // namespace kovra
