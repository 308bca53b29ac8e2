// The private compositor and its drivers.
#include "WaylandDesk.h"


#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <virtual-pointer-client.h>
#include <wayland-client.h>

namespace kaptivus::test {

namespace {

struct Desk {
    bool ready = false;
    pid_t sway = 0;
    pid_t keyboard = 0;
    QString runtime;
    // In the pointer process only.
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;
    uint32_t time = 0;
};


Desk& desk()
{
    static Desk d;
    return d;
}

// A child that dies with this process.
pid_t spawn(const std::vector<const char*>& argv)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
}

void onGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (std::strcmp(interface, wl_seat_interface.name) == 0)
        desk().seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        desk().pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

// The seat's capabilities as sway reports them (1 pointer, 2 keyboard).
int seatCapabilities()
{
    FILE* p = popen("swaymsg -r -t get_seats", "r");
    if (!p) return 0;
    QByteArray out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, p)) out.append(buffer, qsizetype(n));
    pclose(p);
    const QJsonArray seats = QJsonDocument::fromJson(out).array();
    return seats.isEmpty() ? 0 : seats[0].toObject().value("capabilities").toInt();
}

bool startSway()
{
    Desk& d = desk();
    const QByteArray config = qgetenv("KAPTIVUS_SWAY_CONFIG");
    if (config.isEmpty()) return false;
    QByteArray dir = QDir::tempPath().toLocal8Bit() + "/sway-XXXXXX";
    if (!mkdtemp(dir.data())) return false;
    d.runtime = QString::fromLocal8Bit(dir);
    setenv("XDG_RUNTIME_DIR", dir.constData(), 1);
    setenv("WLR_BACKENDS", "headless", 1);
    setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
    setenv("WLR_RENDERER", "pixman", 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SWAYSOCK");
    d.sway = spawn({"sway", "-c", config.constData(), nullptr});
    const QDir runtime(d.runtime);
    return waitUntil(
        [&] {
            const QStringList displays = runtime.entryList({"wayland-[0-9]"}, QDir::System);
            const QStringList ipc = runtime.entryList({"sway-ipc.*.sock"}, QDir::System);
            if (displays.isEmpty() || ipc.isEmpty()) return false;
            setenv("WAYLAND_DISPLAY", displays.first().toLocal8Bit().constData(), 1);
            setenv("SWAYSOCK", runtime.filePath(ipc.first()).toLocal8Bit().constData(), 1);
            return system("swaymsg -t get_version >/dev/null 2>&1") == 0;
        },
        20s);
}

bool addVirtualPointer()
{
    Desk& d = desk();
    d.display = wl_display_connect(nullptr);
    if (!d.display) return false;
    wl_registry_add_listener(wl_display_get_registry(d.display), &registryListener, nullptr);
    wl_display_roundtrip(d.display);
    if (!d.seat || !d.pointers) return false;
    d.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(d.pointers, d.seat);
    wl_display_roundtrip(d.display);
    return true;
}

} // namespace

bool startPrivateDesk()
{
    if (!startSway()) return false;
    // A keyboard that stays on the seat: wtype's own lives only while it types,
    // and a client learns of a new keyboard too late for its first key.
    desk().keyboard = spawn({"wtype", "-s", "3600000", nullptr});
    desk().ready = waitUntil([] { return seatCapabilities() == 2; });
    return desk().ready;
}

void stopPrivateDesk()
{
    Desk& d = desk();
    for (pid_t pid : {d.keyboard, d.sway}) {
        if (pid <= 0) continue;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (!d.runtime.isEmpty()) QDir(d.runtime).removeRecursively();
}

bool haveDesk() { return desk().ready; }

bool waitProcessing(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void arrangeOutputs(const std::vector<Output>& outputs)
{
    while (QGuiApplication::screens().size() < qsizetype(outputs.size())) {
        const qsizetype before = QGuiApplication::screens().size();
        swaymsg("create_output");
        waitProcessing([&] { return QGuiApplication::screens().size() > before; });
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        const Output& o = outputs[i];
        swaymsg(QString("output HEADLESS-%1 mode %2x%3 position %4 %5 scale %6")
                    .arg(i + 1).arg(o.width).arg(o.height).arg(o.x).arg(o.y).arg(o.scale));
    }
    // sway 1.7 draws nothing of a new headless output's workspace until the
    // output has had the focus once: it keeps showing its bare background.
    for (size_t i = outputs.size(); i > 0; --i) swaymsg(QString("focus output HEADLESS-%1").arg(i));
    // The toolkit's screens in layout pixels, as the compositor has them now.
    const bool shown = waitProcessing([&] {
        for (size_t i = 0; i < outputs.size(); ++i) {
            const Output& o = outputs[i];
            const QRect want(o.x, o.y, int(std::lround(o.width / o.scale)), int(std::lround(o.height / o.scale)));
            bool found = false;
            for (QScreen* s : QGuiApplication::screens())
                found = found || (s->name() == QString("HEADLESS-%1").arg(i + 1) && s->geometry() == want);
            if (!found) return false;
        }
        return true;
    });
    EXPECT_TRUE(shown) << "the toolkit's screens never showed the layout";
}

DeskLayout deskLayout()
{
    platform::CaptureBackend& backend = platform::captureBackend();
    DeskLayout layout{backend.monitors(), backend.virtualDesktop(), {}};
    QRect bounds;
    for (QScreen* s : QGuiApplication::screens()) bounds |= s->geometry();
    layout.layoutBounds = {bounds.x(), bounds.y(), bounds.width(), bounds.height()};
    return layout;
}

namespace {

platform::ScreenRect rectOf(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    return {o.value("x").toInt(), o.value("y").toInt(), o.value("width").toInt(), o.value("height").toInt()};
}

bool holdsWindowOf(qint64 pid, const QJsonObject& node)
{
    if (node.value("pid").toInt() == pid) return true;
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(list).toArray())
            if (holdsWindowOf(pid, child.toObject())) return true;
    return false;
}

QJsonObject tree()
{
    QProcess p;
    p.start("swaymsg", {"-r", "-t", "get_tree"});
    if (!p.waitForFinished(5000)) return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

bool holdsFullScreenOf(qint64 pid, const QJsonObject& node, const platform::ScreenRect& output)
{
    if (node.value("pid").toInt() == pid && node.value("fullscreen_mode").toInt() == 1
        && rectOf(node.value("rect")) == output)
        return true;
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(list).toArray())
            if (holdsFullScreenOf(pid, child.toObject(), output)) return true;
    return false;
}

} // namespace

bool shownByThisProcess() { return shownBy(getpid()); }

bool shownBy(qint64 pid) { return holdsWindowOf(pid, tree()); }

bool coveredByThisProcess() { return coveredBy(getpid()); }

bool coveredBy(qint64 pid)
{
    int outputs = 0;
    for (const QJsonValue& v : tree().value("nodes").toArray()) {
        const QJsonObject output = v.toObject();
        if (output.value("name").toString() == "__i3") continue;
        ++outputs;
        if (!holdsFullScreenOf(pid, output, rectOf(output.value("rect")))) return false;
    }
    return outputs > 0;
}

Shot grim(const QString& output)
{
    QProcess p;
    p.start("grim", {"-t", "ppm", "-o", output, "-"});
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return {};
    const QByteArray ppm = p.readAllStandardOutput();
    // P6, width height, 255, each ended by one new line.
    const QList<QByteArray> fields = ppm.left(64).split('\n');
    if (fields.size() < 4 || fields[0] != "P6") return {};
    const QList<QByteArray> size = fields[1].split(' ');
    Shot shot{size.value(0).toInt(), size.value(1).toInt(), {}};
    const qsizetype header = fields[0].size() + fields[1].size() + fields[2].size() + 3;
    if (ppm.size() - header != qsizetype(shot.width) * shot.height * 3) return {};
    const auto* bytes = reinterpret_cast<const uint8_t*>(ppm.constData() + header);
    shot.pixels.resize(size_t(shot.width) * size_t(shot.height));
    for (size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = uint32_t(bytes[3 * i]) << 16 | uint32_t(bytes[3 * i + 1]) << 8 | bytes[3 * i + 2];
    return shot;
}

int serveVirtualPointer()
{
    Desk& d = desk();
    if (!addVirtualPointer()) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    unsigned x = 0, y = 0, width = 0, height = 0;
    while (std::scanf("%u %u %u %u", &x, &y, &width, &height) == 4) {
        zwlr_virtual_pointer_v1_motion_absolute(d.pointer, ++d.time, x, y, width, height);
        zwlr_virtual_pointer_v1_frame(d.pointer);
        // Handled by the compositor before anyone else's next request.
        wl_display_roundtrip(d.display);
        std::printf("ok\n");
        std::fflush(stdout);
    }
    wl_display_disconnect(d.display);
    return 0;
}

User::User(platform::ScreenRect layoutBounds) : m_bounds(layoutBounds)
{
    m_pointer = std::make_unique<QProcess>();
    m_pointer->start(QCoreApplication::applicationFilePath(), {"--virtual-pointer"});
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
                         .arg(x - m_bounds.left).arg(y - m_bounds.top).arg(m_bounds.width).arg(m_bounds.height)
                         .toLatin1());
    const bool moved = m_pointer->waitForBytesWritten(5000) && m_pointer->waitForReadyRead(5000)
        && m_pointer->readLine().trimmed() == "ok";
    EXPECT_TRUE(moved) << "the virtual pointer did not move";
}

void User::press(int button) { swaymsg(QString("seat - cursor press button%1").arg(button)); }

void User::release(int button) { swaymsg(QString("seat - cursor release button%1").arg(button)); }

void User::click(int button)
{
    press(button);
    release(button);
}

void User::keys(const QStringList& names)
{
    QStringList args;
    for (const QString& n : names) args << "-k" << n;
    runTool("wtype", args);
}

} // namespace kaptivus::test
