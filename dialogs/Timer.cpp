#include "dialogs/Timer.h"

TTimer::TTimer(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(false);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TTimer::timeout);
}

void TTimer::setInterval(int ms)
{
    if (ms < 0)
        ms = 0;
    if (ms == m_interval)
        return;
    m_interval = ms;
    restart();
}

void TTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void TTimer::restart()
{
    m_timer.stop();
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
}
