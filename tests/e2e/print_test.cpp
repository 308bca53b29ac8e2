// Printing with the real program through a private print system: the hotkey
// with direct printing, the tray's double click, " I&mprimer le bureau" and
// copies, each checked by the PDFs the queue delivers.
#include "AgentProcess.h"
#include "PrivateCups.h"

#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

const QString kQueue = QStringLiteral("KaptivusPDF");

class Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cups.start()) << cups.errorLog().toStdString();
        ASSERT_TRUE(cups.addQueue(kQueue, true));
    }

    // Starts the agent with direct printing on and the other values given.
    void startAgent(std::vector<std::pair<std::string, std::string>> values = {})
    {
        if (std::none_of(values.begin(), values.end(), [](const auto& v) { return v.first == "Direct"; }))
            values.push_back({"Direct", "dword:00000001"});
        values.push_back({"Sound", "dword:00000000"});
        writeSettingsFile(defaultSettingsBody(values));
        ASSERT_TRUE(agent.start()) << agent.output().toStdString();
    }

    void TearDown() override
    {
        if (!agent.isRunning())
            return;
        agent.terminate();
        agent.waitForExit();
    }

    test::PrivateCups cups;
    AgentProcess agent;
};

// The page rendered at 72 dpi: enough to see the picture's shape.
QImage RenderSmall(const QString& pdf)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-singlefile"),
                                         pdf, base});
    p.waitForFinished(60000);
    return QImage(base + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

QRect InkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                box |= QRect(x, y, 1, 1);
    return box;
}

void openTrayMenu(AgentProcess& agent) { ASSERT_TRUE(agent.openTrayMenu()); }

} // namespace

TEST_F(Printing, HotkeyWithDirectPrintingPrintsWithoutTheWindow)
{
    startAgent();
    // The same action asked for from the command line answers once it has
    // printed and opened the gate again; the key then prints once more.
    const ProgramRun asked = runKaptivus({QStringLiteral("--capture"), QStringLiteral("101")});
    EXPECT_EQ(asked.exitCode, 0) << asked.err;
    ASSERT_TRUE(cups.waitForJobs(1)) << cups.errorLog().toStdString();
    bool everShown = false;
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] {
        everShown = everShown || agent.pictureWindowShown();
        return cups.jobFiles().size() == 2;
    }, 20s)) << cups.errorLog().toStdString();
    EXPECT_FALSE(everShown);
}

// " &Ouvrir" is the tray icon's double click.
TEST_F(Printing, TrayOpenShowsTheWindowInsteadOfPrinting)
{
    startAgent();
    openTrayMenu(agent);
    ASSERT_TRUE(test::pressKey(0x6f)); // "o", the item's mnemonic
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    EXPECT_TRUE(cups.jobFiles().isEmpty());
}

TEST_F(Printing, PrintTheDesktopFromTheTrayMenuPrintsTheWholeDesktop)
{
    // Without the date line only the picture is on the page.
    startAgent({{"Direct", "dword:00000000"}, {"FDateTime", "dword:00000000"}});
    openTrayMenu(agent);
    ASSERT_TRUE(test::pressKey(0x6d)); // "m", the item's mnemonic
    ASSERT_TRUE(cups.waitForJobs(1)) << cups.errorLog().toStdString();
    EXPECT_FALSE(agent.pictureWindowShown());
    // The whole desktop, fitted to the page width: its proportions survive.
    const test::Rect screen = test::screenSize();
    const QRect ink = InkBox(RenderSmall(cups.jobFiles().front()));
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(double(ink.width()) / ink.height(), double(screen.width) / screen.height, 0.05);
}

TEST_F(Printing, ThreeCopiesAreThreeJobs)
{
    startAgent({{"Copies", "dword:00000003"}});
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(cups.waitForJobs(3)) << cups.errorLog().toStdString();
    EXPECT_EQ(cups.jobFiles().size(), 3);
}
