// A countdown timer whose interval and enabled flag follow the form designer's
// rule: setting a value it already has changes nothing; setting a new value
// stops it and, if it is then enabled with a non-zero interval, starts the
// countdown afresh. An enabled timer with interval 0 never ticks.
#pragma once

#include <QObject>
#include <QTimer>

class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* parent = nullptr);

    int interval() const { return m_interval; }
    bool isEnabled() const { return m_enabled; }
    // True while a countdown is under way (enabled with a non-zero interval).
    bool isCounting() const { return m_timer.isActive(); }
    // Milliseconds left in the running countdown; -1 when none runs.
    int remainingTime() const { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

    void setInterval(int ms);
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    void restart();

    QTimer m_timer;
    int m_interval = 1000;
    bool m_enabled = false;
};
