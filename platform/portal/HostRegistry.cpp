// The portal's introspection and its host registry, asked asynchronously.
#include "platform/portal/HostRegistry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>
#include <QXmlStreamReader>

namespace kaptivus::platform::portal {

namespace {

// Calls `message` and hands its reply to `done` on `context`; an error reply
// (the deadline included) comes with its message and no arguments.
void callAsync(const QDBusConnection& bus, const QDBusMessage& message, int limitMs, QObject* context,
    std::function<void(const QDBusMessage& reply)> done)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, limitMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
        [watcher, done = std::move(done)] {
            watcher->deleteLater();
            done(watcher->reply());
        });
}

} // namespace

QStringList declaredInterfaces(const QString& introspection)
{
    QStringList names;
    QXmlStreamReader xml(introspection);
    int depth = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            // depth 1 is the <node> itself; child nodes' interfaces are theirs.
            if (depth == 2 && xml.name() == QLatin1String("interface"))
                names << xml.attributes().value(QLatin1String("name")).toString();
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return names;
}

void probePortal(const QDBusConnection& bus, int limitMs, QObject* context,
    std::function<void(const QStringList&, const QString&)> done)
{
    if (!bus.isConnected()) {
        done({}, QStringLiteral("no D-Bus session bus"));
        return;
    }
    const auto message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalService),
        QString::fromLatin1(PortalPath), QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    callAsync(bus, message, limitMs, context, [done = std::move(done)](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            done({}, reply.errorMessage().isEmpty() ? QStringLiteral("no desktop portal") : reply.errorMessage());
            return;
        }
        done(declaredInterfaces(reply.arguments().constFirst().toString()), {});
    });
}

void registerHostApp(const QDBusConnection& bus, const QString& appId, int limitMs, QObject* context,
    std::function<void(bool, const QString&)> done)
{
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalService),
        QString::fromLatin1(PortalPath), QString::fromLatin1(RegistryInterface), QStringLiteral("Register"));
    message << appId << QVariantMap();
    callAsync(bus, message, limitMs, context, [done = std::move(done)](const QDBusMessage& reply) {
        const bool ok = reply.type() == QDBusMessage::ReplyMessage;
        done(ok, ok ? QString() : reply.errorMessage());
    });
}

} // namespace kaptivus::platform::portal
