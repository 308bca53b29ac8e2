// Tells when the monitors may have changed: added, removed, rearranged, or
// defined anew with the RandR monitor requests. Uses its own X connection so
// that its events are never dropped by the other screen services.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace kaptivus::platform {

class MonitorWatcher : public QObject {
    Q_OBJECT
public:
    explicit MonitorWatcher(QObject* parent = nullptr);
    ~MonitorWatcher() override;
    // False when no X display can be reached; nothing is ever signalled then.
    bool isWatching() const;
    // Reads what the server has already sent, and tells whether the monitors
    // changed since the last monitorsChanged(); that change is then not
    // signalled again. A capture asks first: a hotkey pressed right after a
    // change must not see the old monitors while the burst is awaited.
    bool catchUp();

signals:
    // Once for a burst of notifications; read the monitors again.
    void monitorsChanged();

private:
    void readEvents();
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_burst = nullptr;
};

} // namespace kaptivus::platform
