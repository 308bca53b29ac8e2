// The notification-area icon component.
#include "app/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QWidget>

TTrayIcon::TTrayIcon(QObject* parent)
    : QObject(parent)
    , m_tray(std::make_unique<QSystemTrayIcon>())
{
    m_timer.setInterval(m_animateInterval);
    connect(&m_timer, &QTimer::timeout, this, &TTrayIcon::animationTick);
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, &TTrayIcon::activated);
}

TTrayIcon::~TTrayIcon()
{
    m_timer.stop();
    if (m_active) remove();
}

void TTrayIcon::setActive(bool active)
{
    if (active == m_active) return;
    m_active = active;
    if (active)
        add();
    else
        remove();
}

void TTrayIcon::add()
{
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(shownTip());
    m_tray->show();
    // An icon added before its tip is known gets the tip once the event loop runs.
    if (m_toolTip.isEmpty()) QMetaObject::invokeMethod(this, &TTrayIcon::resetToolTip, Qt::QueuedConnection);
}

void TTrayIcon::modify()
{
    if (!m_active) return;
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(shownTip());
}

QString TTrayIcon::shownTip() const { return m_notice.isEmpty() ? m_toolTip : m_toolTip + u'\n' + m_notice; }

void TTrayIcon::setNotice(const QString& notice)
{
    if (notice == m_notice) return;
    m_notice = notice;
    modify();
}

void TTrayIcon::remove() { m_tray->hide(); }

void TTrayIcon::resetToolTip() { setToolTip(m_toolTip); }

void TTrayIcon::setIcon(const QIcon& icon)
{
    if (icon.cacheKey() == m_icon.cacheKey()) return;
    m_icon = icon;
    modify();
}

void TTrayIcon::setToolTip(const QString& tip)
{
    m_toolTip = tip.left(MaxToolTipLength);
    modify();
}

void TTrayIcon::setAnimateInterval(int ms)
{
    if (ms <= 0) return;
    m_animateInterval = ms;
    m_timer.setInterval(ms);
}

void TTrayIcon::setAnimate(bool animate)
{
    if (animate) {
        if (!m_images || m_images->isEmpty() || !m_active) return;
        m_animate = true;
        m_staticIcon = m_icon;
        m_frame = 0;
        m_timer.start();
        return;
    }
    // Turning it off always restores the static icon, even when it was off already.
    m_animate = false;
    m_timer.stop();
    setIcon(m_staticIcon);
}

void TTrayIcon::setImages(const QList<QIcon>* images)
{
    m_images = images;
    if (!images) imagesDestroyed();
}

void TTrayIcon::imagesDestroyed()
{
    m_images = nullptr;
    if (m_animate) setAnimate(false);
}

void TTrayIcon::animationTick()
{
    if (!m_images || m_images->isEmpty()) {
        setAnimate(false);
        return;
    }
    m_frame = (m_frame + 1 >= m_images->size()) ? 0 : m_frame + 1;
    setIcon(m_images->at(m_frame));
}

void TTrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: emit OnClick(this); break;
    case QSystemTrayIcon::DoubleClick: emit OnDblClick(this); break;
    case QSystemTrayIcon::Context: rightButtonUp(); break;
    default: break;
    }
}

void TTrayIcon::rightButtonUp()
{
    const QPoint pos = QCursor::pos();
    if (m_popupMenu) {
        // The menu closes when the user clicks elsewhere only if our window is in front.
        if (QWidget* w = QApplication::activeWindow() ? QApplication::activeWindow() : m_popupMenu->parentWidget())
            w->activateWindow();
        QCoreApplication::processEvents();
        m_popupMenu->popup(pos);
    }
    emit OnRightClick(this, Qt::RightButton, Qt::NoModifier, pos.x(), pos.y());
}
