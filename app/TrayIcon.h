// TTrayIcon: the notification-area icon component. Wraps QSystemTrayIcon with
// the component's own rules: the 62-character tip, add/modify/delete on
// Active, icon animation through an image list, and the menu on right click.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>


class TTrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxToolTipLength = 62;

    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    bool Active() const { return m_active; }
    void setActive(bool active);
    bool Animate() const { return m_animate; }
    void setAnimate(bool animate);
    int AnimateInterval() const { return m_animateInterval; }
    void setAnimateInterval(int ms);
    bool ShowDesigning() const { return m_showDesigning; }
    void setShowDesigning(bool on) { m_showDesigning = on; }
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon& icon);
    // The animation frames; the component does not own them. Forgotten (and
    // the animation stopped) when the list is destroyed.
    const QList<QIcon>* Images() const { return m_images; }
    void setImages(const QList<QIcon>* images);
    void imagesDestroyed();
    QString ToolTip() const { return m_toolTip; }
    void setToolTip(const QString& tip);
    QMenu* PopupMenu() const { return m_popupMenu; }
    // Lines shown under the tip, beyond its 62 characters (empty: none).
    QString Notice() const { return m_notice; }
    void setNotice(const QString& notice);
    // The tip as the notification area shows it.
    QString shownTip() const;
    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    // What is shown in the notification area right now (for the window code and tests).
    QSystemTrayIcon* systemTrayIcon() const { return m_tray.get(); }
    int animationFrame() const { return m_frame; }

signals:
    void OnClick(QObject* sender);
    void OnDblClick(QObject* sender);
    void OnRightClick(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

private:
    void add();
    void modify();
    void remove();
    void animationTick();
    void resetToolTip();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void rightButtonUp();

    std::unique_ptr<QSystemTrayIcon> m_tray;
    QTimer m_timer;
    bool m_active = false;
    bool m_animate = false;
    int m_animateInterval = 100;
    bool m_showDesigning = false;
    QIcon m_icon;
    QIcon m_staticIcon;
    const QList<QIcon>* m_images = nullptr;
    int m_frame = 0;
    QString m_toolTip;
    QString m_notice;
    QPointer<QMenu> m_popupMenu;
};
