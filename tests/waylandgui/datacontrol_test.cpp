// Our data-control selection served to other programs: a large one in pieces
// while the event loop runs, and a reader that stops reading dropped after the
// timeout, so that no transfer holds memory and a descriptor for ever.
#include "SwayTools.h"
#include "platform/wayland/DataControl.h"

#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaptivus::test;
using kaptivus::platform::wayland::ClipboardBytes;
using kaptivus::platform::wayland::DataControl;

namespace {

constexpr const char* kType = "application/x-kaptivus-test";

ClipboardBytes pattern(size_t size)
{
    ClipboardBytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 131) ^ (i >> 12));
    return bytes;
}

} // namespace

TEST(WaylandDataControl, LargeSelectionIsServedWholeWhileTheLoopRuns)
{
    DataControl control;
    ASSERT_TRUE(control.isAvailable()) << control.error();
    const ClipboardBytes bytes = pattern(size_t(24) << 20);
    int made = 0;
    ASSERT_TRUE(control.setSelection({ kType }, [&](std::string_view) {
        ++made;
        return bytes;
    }));
    for (int reader = 0; reader < 2; ++reader) {
        const ToolRun paste = runProgram("wl-paste", { "--no-newline", "--type", kType });
        ASSERT_EQ(paste.exitCode, 0) << paste.err.toStdString();
        ASSERT_EQ(size_t(paste.out.size()), bytes.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const uint8_t*>(paste.out.constData())));
    }
    EXPECT_EQ(made, 1) << "the bytes of a type are made once";
    EXPECT_TRUE(waitUntil([&] { return control.pendingTransfers() == 0; }));
    EXPECT_TRUE(control.ownsSelection());
}

TEST(WaylandDataControl, ReaderThatStopsReadingIsDroppedAfterTheTimeout)
{
    DataControl control({}, std::chrono::milliseconds(400));
    ASSERT_TRUE(control.isAvailable()) << control.error();
    const ClipboardBytes bytes = pattern(size_t(8) << 20);
    ASSERT_TRUE(control.setSelection({ kType }, [&](std::string_view) { return bytes; }));
    // wl-paste writes into a pipe nobody reads: it stops reading from ours.
    QProcess stalled;
    stalled.setChildProcessModifier([] { ::setsid(); });
    stalled.start("sh", { "-c", QStringLiteral("wl-paste --no-newline --type %1 | sleep 60").arg(kType) });
    ASSERT_TRUE(stalled.waitForStarted(5000));
    EXPECT_TRUE(waitUntil([&] { return control.pendingTransfers() == 1; })) << "the reader never asked";
    EXPECT_TRUE(waitUntil([&] { return control.pendingTransfers() == 0; }, 5s)) << "the stalled transfer stayed";
    EXPECT_EQ(stalled.state(), QProcess::Running);
    ::kill(-static_cast<pid_t>(stalled.processId()), SIGKILL);
    stalled.waitForFinished(5000);
    // A reader after it is served as usual.
    const ToolRun paste = runProgram("wl-paste", { "--no-newline", "--type", kType });
    EXPECT_EQ(size_t(paste.out.size()), bytes.size());
}
