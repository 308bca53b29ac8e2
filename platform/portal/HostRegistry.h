// How a program that runs outside any sandbox tells the desktop portals who it
// is: the portals name such a program after its desktop entry, and newer ones
// take the application id through the host registry before any other call on
// the connection. Older portals (Debian 12's) offer no registry; the program is
// then known by whatever the portal makes of it, and nothing is reported.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QDBusConnection;

namespace kaptivus::platform::portal {

// The application id, which is also the name of the installed desktop entry
// (without ".desktop") and the AppStream id.
inline constexpr char ApplicationId[] = "org.kaptivus.kaptivus2000";

inline constexpr char PortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char PortalPath[] = "/org/freedesktop/portal/desktop";
inline constexpr char RegistryInterface[] = "org.freedesktop.host.portal.Registry";

// The interface names an introspection document declares at its top node, in
// document order; a document that does not parse gives those read before the fault.
QStringList declaredInterfaces(const QString& introspection);

// Asks the portal which interfaces it offers (starting it if the bus can):
// `done` gets them, or an empty list and the reason when there is no answer
// within `limitMs`. Never blocks; `done` runs on `context`'s thread, not at all
// once `context` is gone.
void probePortal(const QDBusConnection& bus, int limitMs, QObject* context,
    std::function<void(const QStringList& interfaces, const QString& error)> done);

// Registers `appId` with the host registry; `done` gets true when the portal
// accepted it. Call it only when the portal offers the registry, and before
// any other portal call on the same connection.
void registerHostApp(const QDBusConnection& bus, const QString& appId, int limitMs, QObject* context,
    std::function<void(bool registered, const QString& error)> done);

} // namespace kaptivus::platform::portal
