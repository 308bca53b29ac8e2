// What the portal tests share: the agent forced onto the portal back-end,
// and a bus of the test's own where a portal of its own making answers.
#pragma once

#include "WaylandAgent.h"

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace kaptivus::test {

// The portal writes the picture of a non-interactive screenshot here.
inline const QString kPortalPicture = "/tmp/out.png";

// The session's environment with the agent told to capture through the portal.
QProcessEnvironment portalEnvironment();

// A D-Bus session bus of the test's own, started and stopped with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool isReady() const { return m_ready; }
    const QString& address() const { return m_address; }
    // The test's connection to it.
    QDBusConnection connection() const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    bool m_ready = false;
};

} // namespace kaptivus::test
