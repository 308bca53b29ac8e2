// The user's virtual pointer, seat buttons and typed keys.
#include "WaylandUser.h"

#include "SwayTools.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <virtual-pointer-client.h>
#include <wayland-client.h>

namespace kaptivus::test {
namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0)
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        g->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void onGlobalRemove(void*, wl_registry*, uint32_t) { }
const wl_registry_listener registryListener { onGlobal, onGlobalRemove };

} // namespace

int serveVirtualPointer()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    Globals g;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &g);
    wl_display_roundtrip(display);
    if (!g.seat || !g.pointers) return 1;
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.pointers, g.seat);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    unsigned x = 0, y = 0, width = 0, height = 0;
    uint32_t time = 0;
    while (std::scanf("%u %u %u %u", &x, &y, &width, &height) == 4) {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, ++time, x, y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        // Handled by the compositor before anyone else's next request.
        wl_display_roundtrip(display);
        std::printf("ok\n");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}

User::User(platform::ScreenRect layoutBounds)
    : m_bounds(layoutBounds)
    , m_pointer(std::make_unique<QProcess>())
{
    m_pointer->start(QCoreApplication::applicationFilePath(), { "--virtual-pointer" });
    const bool ready = m_pointer->waitForReadyRead(10000) && m_pointer->readLine().trimmed() == "ready";
    EXPECT_TRUE(ready) << "no virtual pointer";
}

User::~User()
{
    m_pointer->closeWriteChannel();
    if (!m_pointer->waitForFinished(5000)) m_pointer->kill();
    m_pointer->waitForFinished(2000);
}

void User::moveTo(int x, int y)
{
    m_pointer->write(QString("%1 %2 %3 %4\n")
                         .arg(x - m_bounds.left)
                         .arg(y - m_bounds.top)
                         .arg(m_bounds.width)
                         .arg(m_bounds.height)
                         .toLatin1());
    const bool moved = m_pointer->waitForBytesWritten(5000) && m_pointer->waitForReadyRead(5000)
        && m_pointer->readLine().trimmed() == "ok";
    EXPECT_TRUE(moved) << "the virtual pointer did not move";
}

void User::press(int button)
{
    swaymsg(QString("seat - cursor press button%1").arg(button));
}

void User::release(int button)
{
    swaymsg(QString("seat - cursor release button%1").arg(button));
}

void User::click(int button)
{
    press(button);
    release(button);
}

void User::keys(const QStringList& names)
{
    QStringList args;
    for (const QString& n : names)
        args << "-k" << n;
    runTool("wtype", args);
}

} // namespace kaptivus::test
