// A portal that says no, and one that never answers: the user is told what
// happened, in a box and on standard error; the command that asked fails with
// the same reason; nothing is saved; the agent keeps serving while it waits.
#include "PortalSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace kaptivus::test {
namespace {

constexpr int kDesktopToFile = 102;
constexpr int kFailed = 4;
constexpr int kBusy = 3;

// The desktop denied the screenshot: the permission store says no for every
// program outside a sandbox, so the real portal refuses without asking.
TEST(PortalAgent, RefusedPermissionIsReportedNotSaved)
{
    ASSERT_TRUE(setScreenshotPermission("no"));
    WaylandAgent agent({ { "DefaultExt", "\".PNG\"" } }, portalEnvironment());
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    QString said;
    EXPECT_EQ(agent.capture(kDesktopToFile, &said), kFailed);
    EXPECT_TRUE(said.contains("the desktop refused the screenshot")) << said.toStdString();
    EXPECT_TRUE(waitUntil([&] { return agent.errors().contains("privacy settings"); })) << agent.errors().toStdString();
    EXPECT_TRUE(waitUntil([&] { return !windowOfPid(agent.pid(), "Erreur").isEmpty(); }));
    EXPECT_TRUE(agent.files().isEmpty());
    ASSERT_TRUE(setScreenshotPermission("yes"));
}

// A portal of the test's own: takes every Screenshot request, gives its
// handle, and never sends the Response; counts the requests dropped with Close.
class SilentPortal : public QDBusVirtualObject {
public:
    int requests = 0;
    int closed = 0;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "Close") {
            ++closed;
            connection.send(message.createReply());
            return true;
        }
        if (message.member() != "Screenshot") return false;
        ++requests;
        const QVariantMap options = message.arguments().value(1).toMap();
        QString sender = message.service().mid(1).replace('.', '_');
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + "/"
            + options.value("handle_token").toString();
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        return true;
    }
};

// The request is taken and never answered: the agent gives up at its time
// limit with a message that says so, drops the request, and all along still
// answers the command channel (a second capture is refused as busy at once).
TEST(PortalAgent, PortalThatNeverAnswersTimesOutWithTheWindowResponsive)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isReady()) << "dbus-daemon did not start";
    QDBusConnection connection = bus.connection();
    SilentPortal portal;
    ASSERT_TRUE(connection.registerVirtualObject("/org/freedesktop/portal/desktop", &portal,
        QDBusConnection::SubPath));
    ASSERT_TRUE(connection.registerService("org.freedesktop.portal.Desktop"));
    QProcessEnvironment env = portalEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert("KAPTIVUS_PORTAL_TIMEOUT", "3");
    WaylandAgent agent({ { "DefaultExt", "\".PNG\"" } }, env);
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();

    QProcess first;
    agent.launch(first, { "--capture", QString::number(kDesktopToFile) });
    ASSERT_TRUE(waitUntil([&] { return portal.requests == 1; }));
    QElapsedTimer waited;
    waited.start();
    QString said;
    EXPECT_EQ(agent.capture(kDesktopToFile, &said), kBusy) << said.toStdString();
    EXPECT_LT(waited.elapsed(), 2000) << "the agent did not answer while the portal kept it waiting";
    ASSERT_TRUE(waitUntil([&] { return first.state() == QProcess::NotRunning; }, 15s));
    EXPECT_EQ(first.exitCode(), kFailed);
    const QString error = first.readAllStandardError();
    EXPECT_TRUE(error.contains("did not answer within 3 seconds")) << error.toStdString();
    EXPECT_TRUE(waitUntil([&] { return portal.closed == 1; })) << "the request was not dropped";
    EXPECT_TRUE(waitUntil([&] { return !windowOfPid(agent.pid(), "Erreur").isEmpty(); }));
    EXPECT_TRUE(agent.files().isEmpty());
    EXPECT_EQ(portal.requests, 1);
}

} // namespace
} // namespace kaptivus::test
