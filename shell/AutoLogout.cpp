#include "AutoLogout.h"

#include "LoginState.h"
#include "MainWindowHooks.h"
#include "TdmdMain.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace kovra {

namespace {
const int SecondsPerTick = 5;
}

AutoLogout::AutoLogout(TdmdMain &dm, QObject *parent, int tickMs, int logoutDelayMs)
    : QObject(parent), m_dm(dm), m_timer(new QTimer(this)), m_logoutDelayMs(logoutDelayMs)
{
    QCoreApplication::instance()->installEventFilter(this);
    connect(m_timer, &QTimer::timeout, this, &AutoLogout::tick);
    m_timer->start(tickMs);
}

AutoLogout::~AutoLogout()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool AutoLogout::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        m_idleSeconds = 0;
        break;
    case QEvent::MouseButtonPress: {
        const Qt::MouseButton b = static_cast<QMouseEvent *>(event)->button();
        if (b == Qt::LeftButton || b == Qt::RightButton || b == Qt::MiddleButton)
            m_idleSeconds = 0;
        break;
    }
    case QEvent::MouseMove:
        if (QGuiApplication::applicationState() == Qt::ApplicationActive)
            m_idleSeconds = 0;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);   // passed on unchanged
}

void AutoLogout::tick()
{
    MainWindowHooks *main = MainWindow();
    if (!main || m_busy)
        return;
    const Settings &settings = m_dm.settings();
    if (settings.noAutoLogout || main->mode() == ModeUnattended)
        return;
    m_idleSeconds += SecondsPerTick;
    if (m_idleSeconds < settings.autoLogoutTime)
        return;
    // Closing the windows may run nested event loops in which the timer fires
    // again; those ticks must not start a second logout.
    m_busy = true;
    const bool cleared = main->closeWindowsForAutoLogout();
    m_busy = false;
    if (!cleared)
        return;   // a long operation is running: the next tick tries again
    m_idleSeconds = 0;
    m_dm.WriteLogEvent(11);
    QTimer::singleShot(m_logoutDelayMs, this, [] {
        if (MainWindowHooks *w = MainWindow())
            w->logOut(false);
    });
}

} // namespace kovra
