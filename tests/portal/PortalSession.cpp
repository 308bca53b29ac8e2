// The portal tests' shared pieces: the agent's environment, the permission
// store, and a private bus.
#include "PortalSession.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QStringList>
#include <gtest/gtest.h>

namespace kaptivus::test {

QProcessEnvironment portalEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KAPTIVUS_BACKEND", "portal");
    return env;
}

PrivateBus::PrivateBus()
{
    m_address = "unix:path=" + QDir(m_dir.path()).filePath("bus");
    m_daemon.start("dbus-daemon", { "--session", "--nofork", "--nopidfile", "--address=" + m_address });
    m_ready = m_daemon.waitForStarted(5000)
        && waitUntil([&] { return connection().isConnected() || m_daemon.state() == QProcess::NotRunning; })
        && m_daemon.state() == QProcess::Running;
}

PrivateBus::~PrivateBus()
{
    QDBusConnection::disconnectFromBus("kaptivus-test-bus");
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connection() const
{
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, "kaptivus-test-bus");
    if (!bus.isConnected()) QDBusConnection::disconnectFromBus("kaptivus-test-bus");
    return bus;
}

} // namespace kaptivus::test
