// How the portal's answer is taken: the addresses accepted, the picture file
// read defensively from real files (an independent encoder's PNG, links,
// pipes, oversized and foreign files) and removed only where it is ours to
// remove; the request path and time limit; the choice of back-end.
#include "platform/CaptureBackend.h"
#include "platform/portal/PortalPicture.h"
#include "platform/portal/PortalRequest.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::platform::portal {
namespace {

TEST(PortalAddress, OnlyPlainLocalFilesAreTaken)
{
    const struct {
        const char* uri;
        const char* path; // nullptr: refused
    } cases[] = {
        { "file:///tmp/out.png", "/tmp/out.png" },
        { "file://localhost/home/u/Pictures/Screenshot.png", "/home/u/Pictures/Screenshot.png" },
        { "FILE:///tmp/a%20b.png", "/tmp/a b.png" },
        { "file://elsewhere/tmp/out.png", nullptr },
        { "https://example.org/out.png", nullptr },
        { "file:tmp/out.png", nullptr },
        { "file:///tmp/../etc/shadow", nullptr },
        { "file:///tmp/%2e%2e/etc/shadow", nullptr },
        { "file:///tmp//out.png", nullptr },
        { "file:///tmp/out.png%00.txt", nullptr },
        { "file:///tmp/out.png?x=1", nullptr },
        { "file:///tmp/out%2", nullptr },
        { "", nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uri);
        const auto path = localPathOfUri(c.uri);
        if (c.path == nullptr)
            EXPECT_FALSE(path.has_value()) << *path;
        else
            EXPECT_EQ(path.value_or("(refused)"), c.path);
    }
}

std::string uriOf(const std::string& path)
{
    return "file://" + path;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A 6x5 picture, every pixel its own colour, written as PNG by ImageMagick.
std::string independentPng(const std::string& folder)
{
    std::string ppm = "P6\n6 5\n255\n";
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            ppm += { char(40 * x), char(50 * y), char(x == 0 && y == 0 ? 255 : 7) };
    writeFile(folder + "/fixture.ppm", ppm);
    const std::string png = folder + "/fixture.png";
    const std::string command = "convert " + folder + "/fixture.ppm " + png;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return png;
}

struct FileCase {
    const char* name;
    // Makes the file at the path given (in the folder given) and returns the path to hand over.
    std::string (*make)(const std::string& folder, const std::string& png);
    bool underRoots;
    const char* error; // part of the refusal; nullptr: read
    bool removed;
};

std::string copyOf(const std::string& folder, const std::string& png)
{
    const std::string path = folder + "/shot.png";
    std::ifstream in(png, std::ios::binary);
    std::ofstream(path, std::ios::binary) << in.rdbuf();
    return path;
}

TEST(PortalPictureFile, ReadDefensivelyAndRemovedOnlyWhereOurs)
{
    const FileCase cases[] = {
        { "PNG in the user's folder", copyOf, true, nullptr, true },
        { "PNG outside the user's folders: read, left", copyOf, false, nullptr, false },
        { "PNG with a second name: read, left",
            [](const std::string& f, const std::string& png) {
                const std::string path = copyOf(f, png);
                EXPECT_EQ(::link(path.c_str(), (f + "/second.png").c_str()), 0);
                return path;
            },
            true, nullptr, false },
        { "a link to the PNG",
            [](const std::string& f, const std::string& png) {
                const std::string path = f + "/link.png";
                EXPECT_EQ(::symlink(png.c_str(), path.c_str()), 0);
                return path;
            },
            true, "was not read", false },
        { "a pipe",
            [](const std::string& f, const std::string&) {
                const std::string path = f + "/pipe.png";
                EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                return path;
            },
            true, "not a regular file", false },
        { "a folder",
            [](const std::string& f, const std::string&) {
                const std::string path = f + "/folder.png";
                EXPECT_EQ(::mkdir(path.c_str(), 0700), 0);
                return path;
            },
            true, "not a regular file", false },
        { "larger than a desktop's picture",
            [](const std::string& f, const std::string&) {
                const std::string path = f + "/huge.png";
                writeFile(path, "x");
                EXPECT_EQ(::truncate(path.c_str(), kMaxPortalFileBytes + 1), 0);
                return path;
            },
            true, "larger than", false },
        { "not a PNG",
            [](const std::string& f, const std::string&) {
                const std::string path = f + "/text.png";
                writeFile(path, "GIF89a, or anything else");
                return path;
            },
            true, "not a PNG picture", true },
        { "a PNG cut short",
            [](const std::string& f, const std::string& png) {
                const std::string path = copyOf(f, png);
                EXPECT_EQ(::truncate(path.c_str(), 60), 0);
                return path;
            },
            true, "PNG picture", true },
        { "no such file", [](const std::string& f, const std::string&) { return f + "/missing.png"; }, true,
            "was not read", false },
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        const std::string png = independentPng(folder);
        const std::string path = c.make(folder, png);
        const std::vector<std::string> roots { c.underRoots ? folder : "/nonexistent-root" };
        struct stat info { };
        const bool existed = ::lstat(path.c_str(), &info) == 0;
        const PortalPicture read = readPortalPicture(uriOf(path), roots);
        EXPECT_EQ(::lstat(path.c_str(), &info) == 0, existed && !c.removed);
        EXPECT_EQ(read.removed, c.removed);
        if (c.error != nullptr) {
            EXPECT_FALSE(read.ok());
            EXPECT_TRUE(read.picture.isEmpty());
            EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
            continue;
        }
        ASSERT_TRUE(read.ok()) << read.error;
        // The screen's own layout, as every grab gives, and the encoder's pixels in place.
        EXPECT_EQ(read.picture.format(), pixels::PixelFormat::DeviceDefault);
        ASSERT_EQ(read.picture.width(), 6);
        ASSERT_EQ(read.picture.height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const pixels::PixelBGR p = read.picture.pixel(x, y);
                EXPECT_EQ(p.r, 40 * x);
                EXPECT_EQ(p.g, 50 * y);
                EXPECT_EQ(p.b, x == 0 && y == 0 ? 255 : 7);
            }
    }
}

// A screenshot with partly transparent edges (grim's scaled outputs) shows
// them over black, as the screen and every other grab do, not over white as
// a picture file is shown.
TEST(PortalPictureFile, PartlyTransparentPixelsAreLaidOverBlack)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/alpha.png";
    const std::string command = "/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                                "im = Image.new(\"RGBA\", (3, 2), (200, 100, 50, 128))\n"
                                "im.putpixel((2, 1), (10, 20, 30, 255)); im.putpixel((0, 1), (90, 90, 90, 0))\n"
                                "im.save(sys.argv[1])' "
        + path;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const PortalPicture read = readPortalPicture(uriOf(path), {});
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_FALSE(read.removed);
    const pixels::PixelBGR half = read.picture.pixel(0, 0);
    EXPECT_EQ(half.r, 100);
    EXPECT_EQ(half.g, 50);
    EXPECT_EQ(half.b, 25);
    const pixels::PixelBGR clear = read.picture.pixel(0, 1);
    EXPECT_EQ(clear.r + clear.g + clear.b, 0);
    const pixels::PixelBGR opaque = read.picture.pixel(2, 1);
    EXPECT_EQ(opaque.r, 10);
    EXPECT_EQ(opaque.g, 20);
    EXPECT_EQ(opaque.b, 30);
}

TEST(PortalRequest, PathAndTimeLimit)
{
    EXPECT_EQ(requestPath(":1.42", "kaptivus7_1"), "/org/freedesktop/portal/desktop/request/1_42/kaptivus7_1");
    EXPECT_EQ(requestPath(":1.2.3", "t"), "/org/freedesktop/portal/desktop/request/1_2_3/t");
    const struct {
        const char* value;
        int seconds;
    } limits[] = { { nullptr, 60 }, { "", 60 }, { "3", 3 }, { "600", 600 }, { "601", 60 }, { "0", 60 }, { "-5", 60 },
        { "2s", 60 }, { "99999999999", 60 } };
    for (const auto& l : limits)
        EXPECT_EQ(requestLimit(l.value).count(), l.seconds) << (l.value ? l.value : "(unset)");
}

// A request on a session without any bus: the user hears that no portal
// could be reached, at once, without a picture.
TEST(PortalRequest, NoSessionBusIsReportedAtOnce)
{
    int argc = 1;
    char name[] = "portal_files";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kaptivus-bus");
    const ShotAnswer answer = requestScreenshot(false, std::chrono::seconds(5));
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    EXPECT_EQ(answer.outcome, ShotOutcome::Unreachable);
    EXPECT_NE(answer.error.find("no D-Bus session bus"), std::string::npos) << answer.error;
    EXPECT_TRUE(answer.uri.empty());
}

TEST(BackendChoice, ForcedWinsElseTheSessionAndWhatTheCompositorOffers)
{
    const struct {
        const char* forced;
        SessionKind session;
        bool screencopy;
        BackendKind chosen;
        bool unknown;
    } cases[] = {
        { nullptr, SessionKind::X11, false, BackendKind::X11, false },
        { nullptr, SessionKind::Wayland, true, BackendKind::Wlroots, false },
        { nullptr, SessionKind::Wayland, false, BackendKind::Portal, false },
        { "", SessionKind::Wayland, false, BackendKind::Portal, false },
        { "portal", SessionKind::Wayland, true, BackendKind::Portal, false },
        { "x11", SessionKind::Wayland, true, BackendKind::X11, false },
        { "wlroots", SessionKind::X11, false, BackendKind::Wlroots, false },
        { "Portal", SessionKind::Wayland, true, BackendKind::Wlroots, true },
        { "gnome", SessionKind::X11, false, BackendKind::X11, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.forced ? c.forced : "(unset)");
        bool unknown = true;
        const auto forced = forcedBackend(c.forced, unknown);
        EXPECT_EQ(unknown, c.unknown);
        EXPECT_EQ(chooseBackend(forced, c.session, c.screencopy), c.chosen);
    }
}

} // namespace
} // namespace kaptivus::platform::portal
