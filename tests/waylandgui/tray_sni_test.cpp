// The tray icon on a Wayland desktop where a StatusNotifierItem host runs: a
// watcher of our own on a private session bus sees the real agent register
// its icon, active.
#include "WaylandAgent.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kaptivus::test;

namespace {

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registered)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registered() const { return items; }
    QStringList items;

public slots:
    void RegisterStatusNotifierItem(const QString& service) { items << service; }
    void RegisterStatusNotifierHost(const QString&) { }
};

// dbus-daemon on a socket of the test's own, ended with the test.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start("dbus-daemon",
            { "--session", "--nofork", "--print-address", "--address=unix:path=" + m_dir.filePath("bus") });
        if (m_daemon.waitForStarted(5000) && waitUntil([&] { return m_daemon.canReadLine(); }))
            address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus("desk-tray");
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) m_daemon.kill();
    }
    QString address;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

} // namespace

TEST(WaylandTray, IconGoesToTheStatusNotifierHost)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address, "desk-tray");
    ASSERT_TRUE(connection.isConnected());
    Watcher watcher;
    ASSERT_TRUE(connection.registerObject(
        "/StatusNotifierWatcher", &watcher, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(connection.registerService("org.kde.StatusNotifierWatcher"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    WaylandAgent agent({}, environment);
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !watcher.items.isEmpty(); }, 20s)) << "no icon registered";
    EXPECT_EQ(connection.interface()->servicePid(watcher.items[0]).value(), uint(agent.pid()));
    QDBusInterface item(watcher.items[0], "/StatusNotifierItem", "org.kde.StatusNotifierItem", connection);
    EXPECT_EQ(item.property("Status").toString(), "Active");
}

#include "tray_sni_test.moc"
