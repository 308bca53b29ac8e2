// A fresh agent and picture window for each test, on fresh settings, with a
// counter of pipeline runs and a known capture.
#pragma once

#include "XTest.h"

#include "app/Tray.h"
#include "picture/Main.h"
#include "pixels/Picture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kaptivus::picture::testing {

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    return kaptivus::test::waitUntil(condition, std::chrono::milliseconds(timeoutMs));
}

// Shown, active, and where the server has it: the window manager may still
// be moving a window that is already active, and a pointer sent to a point
// Qt maps before it hears of the move lands beside the widget.
inline bool ShowActiveAndPlaced(QWidget* window)
{
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window) || !QTest::qWaitForWindowActive(window)) return false;
    return WaitFor([window] {
        const kaptivus::test::Rect inside = kaptivus::test::windowRootGeometry(window->winId());
        return QPoint(inside.left, inside.top) == window->mapToGlobal(QPoint(0, 0));
    });
}

inline QString SettingsFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Kaptivus2000/registry.reg");
}

// Colour blocks: left half red, right half blue, the top-left 4 × 4 green, so
// picks at distinct places give distinct colours.
inline pixels::Picture MakeBlockCapture(int width, int height)
{
    pixels::Picture p = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels::PixelBGR c = x < width / 2 ? pixels::PixelBGR{0, 0, 255} : pixels::PixelBGR{255, 0, 0};
            if (x < 4 && y < 4)
                c = pixels::PixelBGR{0, 255, 0};
            p.setPixel(x, y, c);
        }
    return p;
}

// Counts the events of one type that the widgets it is installed on receive.
struct EventCounter : QObject {
    explicit EventCounter(QEvent::Type counted) : type(counted) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == type)
            ++count;
        return false;
    }
    QEvent::Type type;
    int count = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(SettingsFile());
        tray = std::make_unique<TTray1>();
        main1 = std::make_unique<TMain1>(tray.get());
        tray->Main1 = main1.get();
        main1->memoryInfo = [] { return std::pair<quint64, quint64>(1000, 500); };
        main1->FormCreate();
        runs = std::make_unique<QSignalSpy>(main1.get(), &TMain1::pictureOptionsApplied);
    }

    void TearDown() override
    {
        runs.reset();
        main1->hide();
        tray->Main1 = nullptr;
        main1.reset();
        tray.reset();
    }

    void showPicture(int width, int height)
    {
        tray->CaptureBitmap = MakeBlockCapture(width, height);
        main1->ApplyPictureOptions(false, width, height);
        runs->clear();
    }

    std::unique_ptr<TTray1> tray;
    std::unique_ptr<TMain1> main1;
    std::unique_ptr<QSignalSpy> runs;
};

} // namespace kaptivus::picture::testing
