// A portal that says no, and one that never answers: the user is told what
// happened, in a box and on standard error; the command that asked fails with
// the same reason; nothing is saved; the agent keeps serving while it waits.
#include "PortalSession.h"
#include "WaylandUser.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <optional>

namespace kaptivus::test {
namespace {

constexpr int kDesktopToFile = 102;
constexpr int kFailed = 4;
constexpr int kBusy = 3;
constexpr int kWindowToFile = 105;

// slurp's overlay dims the desktop (the first output's background here): the chooser is up.
bool chooserShown()
{
    return rgbAt(grimArea({ 5, 5, 1, 1 }), 0, 0) != 0x203040;
}

// A portal of the test's own: takes every Screenshot request, gives its
// handle, then answers with `answer` (none: never); counts the requests
// dropped with Close.
class ScriptedPortal : public QDBusVirtualObject {
public:
    explicit ScriptedPortal(std::optional<uint> answer)
        : m_answer(answer)
    {
    }
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
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(1));
        const QString handle = QString::fromStdString(platform::portal::requestPath(
            message.service().toStdString(), options.value("handle_token").toString().toStdString()));
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        if (m_answer) {
            QDBusMessage response = QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
            response << *m_answer << QVariantMap();
            connection.send(response);
        }
        return true;
    }

private:
    std::optional<uint> m_answer;
};

// The scripted portal on a bus of the test's own, and the agent's environment pointing there.
struct OwnPortal {
    explicit OwnPortal(std::optional<uint> answer)
        : portal(answer)
    {
        QDBusConnection connection = bus.connection();
        ready = bus.isReady()
            && connection.registerVirtualObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::SubPath)
            && connection.registerService("org.freedesktop.portal.Desktop");
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    }
    PrivateBus bus;
    ScriptedPortal portal;
    QProcessEnvironment env = portalEnvironment();
    bool ready = false;
};

struct RefusalCase {
    const char* name;
    std::optional<uint> answer; // the test's own portal's; none: the real portal with its chooser
    const char* said; // what the message must say
};

// The portal says the user cancelled, or that the screenshot is refused (as
// the portal does for a permission set to "no"); the real portal's chooser is
// given up with Escape. Each time the user is told, in a box and on standard
// error, the command fails with the same reason, and nothing is saved.
TEST(PortalAgent, RefusedOrCancelledRequestIsReportedNotSaved)
{
    const RefusalCase cases[] = {
        { "the portal answers: cancelled by the user", 1u, "the screenshot was cancelled in the desktop's dialog" },
        { "the portal answers: refused", 2u, "the desktop refused the screenshot" },
        { "the real portal's chooser given up with Escape", std::nullopt, "the desktop refused the screenshot" },
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<OwnPortal> own;
        QProcessEnvironment env = portalEnvironment();
        if (c.answer) {
            own.emplace(c.answer);
            ASSERT_TRUE(own->ready) << "the test's own portal did not start";
            env = own->env;
        }
        // Without a window list, a window capture goes to the desktop's chooser.
        env.remove("SWAYSOCK");
        WaylandAgent agent({ { "DefaultExt", "\".PNG\"" } }, env);
        ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
        // A keyboard stays on the seat: a client learns of wtype's own too late for its first key.
        QProcess keyboard;
        if (!c.answer) {
            keyboard.start("wtype", { "-s", "3600000" });
            ASSERT_TRUE(waitUntil([] {
                return (swayQuery("get_seats").array().at(0).toObject().value("capabilities").toInt() & 2) != 0;
            })) << "no keyboard on the seat";
        }
        QProcess command;
        agent.launch(command, { "--capture", QString::number(kWindowToFile) });
        if (!c.answer) {
            User user(layoutBounds());
            ASSERT_TRUE(waitUntil([&] { return chooserShown(); })) << "the chooser never showed";
            user.keys({ "Escape" });
        }
        ASSERT_TRUE(waitUntil([&] { return command.state() == QProcess::NotRunning; }, 20s));
        EXPECT_EQ(command.exitCode(), kFailed);
        const QString said = command.readAllStandardError();
        EXPECT_TRUE(said.contains(c.said, Qt::CaseInsensitive)) << said.toStdString();
        EXPECT_TRUE(waitUntil([&] { return agent.errors().contains(c.said, Qt::CaseInsensitive); }))
            << agent.errors().toStdString();
        EXPECT_TRUE(waitUntil([&] { return !windowOfPid(agent.pid(), "Erreur").isEmpty(); }));
        EXPECT_TRUE(agent.files().isEmpty());
        keyboard.terminate();
        keyboard.waitForFinished(5000);
    }
}

// The request is taken and never answered: the agent gives up at its time
// limit with a message that says so, drops the request, and all along still
// answers the command channel (a second capture is refused as busy at once).
TEST(PortalAgent, PortalThatNeverAnswersTimesOutWithTheWindowResponsive)
{
    OwnPortal own(std::nullopt);
    ASSERT_TRUE(own.ready) << "the test's own portal did not start";
    ScriptedPortal& portal = own.portal;
    QProcessEnvironment env = own.env;
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
