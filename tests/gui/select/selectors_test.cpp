// The area selector and the object picker driven through their handlers on a
// known snapshot; Escape, the grabs and the pointer in device pixels through
// the real X server (the program runs again under QT_SCALE_FACTOR 1.5 and 2).
#include "select/Capturecontrol.h"
#include "select/Rectangle.h"

#include "XTest.h"
#include "platform/DevicePixels.h"
#include "platform/Screen.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::select;
using platform::ScreenRect;
namespace xt = kaptivus::test;
using namespace std::chrono_literals;

namespace {

constexpr int W = 200;
constexpr int H = 150;

pixels::Picture knownSnapshot()
{
    auto p = pixels::Picture::create(W, H, pixels::PixelFormat::DeviceDefault);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            p.setPixel(x, y, {uint8_t(x ^ y), uint8_t(y * 3), uint8_t(x * 7 + y)});
    return p;
}

const ScreenRect Desktop{0, 0, W, H};

// Where a readout sits: its design offset (logical pixels) from a snapshot
// point (device pixels), in the window's logical pixels.
QPoint readoutPlace(const QWidget& window, QPoint at, QPoint offset)
{
    const qreal ratio = window.devicePixelRatioF();
    return {qRound(at.x() / ratio + offset.x()), qRound(at.y() / ratio + offset.y())};
}

struct Drag {
    const char* name;
    QPoint from;
    QPoint to;
    AreaRect stored;
    QString readout;
    QPoint readoutOffset; // from the anchor
};

} // namespace

TEST(AreaSelector, DragInEitherDirectionStoresTheRectangleAndRestoresThePicture)
{
    const Drag drags[] = {
        {"down and right", {10, 20}, {60, 50}, {10, 20, 61, 51}, "51 x 31", {2, -20}},
        {"up and left", {60, 50}, {10, 20}, {10, 20, 61, 51}, "51 x 31", {2, 2}},
        {"one column", {30, 30}, {30, 90}, {30, 30, 31, 91}, "1 x 61", {2, -20}},
    };
    for (const Drag& d : drags) {
        AreaSelection selection;
        TRectangle1 selector(selection, Desktop, knownSnapshot(), Desktop);
        const QImage untouched = selector.screenImage().copy();
        EXPECT_FALSE(selector.StaticText1->isVisibleTo(&selector)) << d.name;
        selector.FormMouseDown(Qt::LeftButton, d.from);
        selector.FormMouseMove(Qt::LeftButton, Qt::NoModifier, (d.from + d.to) / 2);
        selector.FormMouseMove(Qt::LeftButton, Qt::NoModifier, d.to);
        EXPECT_NE(selector.screenImage(), untouched) << d.name << ": the frame shows";
        EXPECT_TRUE(selector.StaticText1->isVisibleTo(&selector)) << d.name;
        EXPECT_EQ(selector.StaticText1->text(), d.readout) << d.name;
        EXPECT_EQ(selector.StaticText1->pos(), readoutPlace(selector, d.from, d.readoutOffset)) << d.name;
        selector.FormMouseUp(Qt::LeftButton);
        EXPECT_EQ(selector.result(), 1) << d.name;
        EXPECT_EQ(selection.SelectedArea, d.stored) << d.name;
        EXPECT_FALSE(selector.AreaDragged) << d.name;
        EXPECT_EQ(selector.screenImage(), untouched) << d.name << ": the frame is gone";
    }
}

TEST(AreaSelector, PresetFrameIsOneMoreThanItsSizeWithThePointerBottomRight)
{
    AreaSelection selection;
    TRectangle1 selector(selection, Desktop, knownSnapshot(), Desktop);
    selector.R1Click();
    selector.FixedSizeMode = true; // as after the right press that opened the menu
    selector.FormMouseDown(Qt::LeftButton, {100, 100});
    selector.FormMouseMove(Qt::LeftButton, Qt::NoModifier, {120, 130});
    EXPECT_FALSE(selector.StaticText1->isVisibleTo(&selector)) << "no readout in preset mode";
    selector.FormMouseUp(Qt::LeftButton);
    EXPECT_EQ(selection.SelectedArea, (AreaRect{104, 114, 121, 131}));
    EXPECT_EQ(selection.Sizes.FixedWidth, 16);
}

TEST(AreaSelector, MovesWithAModifierOrAnotherButtonLeaveTheFrame)
{
    AreaSelection selection;
    TRectangle1 selector(selection, Desktop, knownSnapshot(), Desktop);
    selector.FormMouseDown(Qt::LeftButton, {10, 10});
    selector.FormMouseMove(Qt::LeftButton, Qt::NoModifier, {50, 40});
    for (auto modifier : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        selector.FormMouseMove(Qt::LeftButton, modifier, {90, 90});
    selector.FormMouseMove(Qt::LeftButton | Qt::RightButton, Qt::NoModifier, {90, 90});
    selector.FormMouseMove(Qt::NoButton, Qt::NoModifier, {90, 90});
    EXPECT_EQ(selector.StaticText1->text(), "41 x 31");
    selector.FormMouseUp(Qt::LeftButton);
    EXPECT_EQ(selection.SelectedArea, (AreaRect{10, 10, 51, 41}));
}

TEST(AreaSelector, AReleaseEndsItButOnlyADragStoresARectangle)
{
    AreaSelection selection;
    selection.SelectedArea = {1, 2, 30, 40};
    TRectangle1 selector(selection, Desktop, knownSnapshot(), Desktop);
    // The right button's release belongs to its menu.
    selector.FormMouseUp(Qt::RightButton);
    EXPECT_EQ(selector.result(), 0);
    selector.FormMouseDown(Qt::MiddleButton, {70, 70});
    selector.FormMouseUp(Qt::MiddleButton);
    EXPECT_EQ(selector.result(), 1);
    EXPECT_EQ(selection.SelectedArea, (AreaRect{1, 2, 30, 40}));
}

TEST(AreaSelector, PresetEntriesAndTheirCheckMarks)
{
    AreaSelection selection;
    selection.Sizes.LastDefinedWidth = 100;
    selection.Sizes.LastDefinedHeight = 60;
    TRectangle1 selector(selection, {0, 0, 1024, 768}, knownSnapshot(), Desktop);
    EXPECT_EQ(selector.R4->text(), "Last Defined = 100 x 60");
    EXPECT_TRUE(selector.R2->isChecked());
    EXPECT_EQ(selector.toolTip(), "Clic droit pour définir les rectangles");

    std::vector<QString> prompts;
    std::vector<QString> answers{"abc", "8", "40", "3000", "50"};
    selector.askText = [&](const QString&, const QString& prompt, const QString&) -> std::optional<QString> {
        prompts.push_back(prompt);
        if (answers.empty()) return std::nullopt;
        QString a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    selector.R3->trigger();
    EXPECT_TRUE(selector.R3->isChecked());
    EXPECT_EQ(prompts.front(), "Enter the Width ( 16 - 1014 )");
    EXPECT_EQ(prompts.back(), "Enter the Height ( 16 - 758 )");
    EXPECT_EQ(selection.Sizes.FixedWidth, 40);
    EXPECT_EQ(selection.Sizes.FixedHeight, 50);

    // Cancelled at once: the former entry keeps its mark.
    selector.R1->trigger();
    selector.R3->trigger();
    EXPECT_TRUE(selector.R1->isChecked());
    EXPECT_FALSE(selector.R3->isChecked());
    selector.R4->trigger();
    EXPECT_EQ(selection.Sizes.FixedWidth, 40);
    EXPECT_EQ(selection.Sizes.FixedHeight, 50);
}

TEST(AreaSelector, CustomSizeQuestions)
{
    struct Case {
        const char* name;
        std::vector<const char*> answers; // nullptr = Cancel
        bool accepted;
        PresetSizes after;
        std::vector<QString> prefills;
    };
    const Case cases[] = {
        {"a word, 8, then Cancel", {"x", "8", nullptr}, false, {8, 32, 64, 64}, {"64", "x", "8"}},
        {"both in bounds", {"20", "30"}, true, {20, 30, 20, 30}, {"64", "64"}},
        {"bounds themselves", {"16", "590"}, true, {16, 590, 16, 590}, {"64", "64"}},
        {"height cancelled keeps the width", {"100", nullptr}, false, {100, 32, 100, 64}, {"64", "64"}},
        {"too large, then right, height cancelled", {"991", " 990 "}, false, {990, 32, 990, 64}, {"64", "991", "64"}},
    };
    for (const Case& c : cases) {
        PresetSizes sizes;
        std::vector<QString> prefills;
        size_t next = 0;
        const bool accepted = AskCustomSize(sizes, 990, 590,
            [&](const QString&, const QString&, const QString& text) -> std::optional<QString> {
                prefills.push_back(text);
                if (next >= c.answers.size()) return std::nullopt;
                const char* a = c.answers[next++];
                if (!a) return std::nullopt;
                return QString::fromLatin1(a);
            });
        EXPECT_EQ(accepted, c.accepted) << c.name;
        EXPECT_EQ(sizes.FixedWidth, c.after.FixedWidth) << c.name;
        EXPECT_EQ(sizes.FixedHeight, c.after.FixedHeight) << c.name;
        EXPECT_EQ(sizes.LastDefinedWidth, c.after.LastDefinedWidth) << c.name;
        EXPECT_EQ(sizes.LastDefinedHeight, c.after.LastDefinedHeight) << c.name;
        EXPECT_EQ(prefills, c.prefills) << c.name;
    }
}

TEST(ObjectPicker, ReadoutShowsScreenCoordinatesAndAReleasePicks)
{
    // A monitor left of the primary: the virtual desktop starts at -1280.
    const ScreenRect desktop{-1280, 0, W, H};
    {
        TCapturecontrol1 picker(knownSnapshot(), desktop);
        EXPECT_EQ(picker.StaticText1->text(), "1024 x 1024");
        EXPECT_EQ(picker.StaticText1->geometry(), QRect(24, 28, 69, 17)) << "design place and size, scaled";
        picker.FormMouseMove({100, 50});
        EXPECT_EQ(picker.StaticText1->text(), "-1180 , 50");
        EXPECT_EQ(picker.StaticText1->pos(), readoutPlace(picker, {100, 50}, {4, 26}));
        picker.FormMouseUp({10, 20});
        EXPECT_EQ(picker.result(), 1);
        EXPECT_EQ(picker.PickedPoint, (platform::ScreenPoint{-1270, 20}));
    }
}

TEST(Selectors, TakeTheKeyboardAndEscapeCancels)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    const auto size = xt::screenSize();
    const ScreenRect screen{0, 0, size.width, size.height};
    auto pressEscapeOnceGrabbed = [] {
        // The selector holds the pointer when another client cannot take it.
        if (!xt::waitUntil([] { return xt::pointerGrabbedElsewhere(); }, 5s)) return;
        xt::pressKey(xt::keysym::Escape);
    };
    {
        AreaSelection selection;
        TRectangle1 selector(selection, screen, knownSnapshot(), screen);
        QTimer::singleShot(0, pressEscapeOnceGrabbed);
        EXPECT_EQ(selector.exec(), 0);
    }
    {
        TCapturecontrol1 picker(knownSnapshot(), screen);
        QTimer::singleShot(0, pressEscapeOnceGrabbed);
        EXPECT_EQ(picker.exec(), 0);
    }
    EXPECT_FALSE(xt::pointerGrabbedElsewhere());
}

TEST(Selectors, CustomSizeQuestionsShowAboveTheFrozenDesktopAndTakeTyping)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    const auto size = xt::screenSize();
    const ScreenRect screen{0, 0, size.width, size.height};
    AreaSelection selection;
    TRectangle1 selector(selection, screen, knownSnapshot(), screen);
    std::vector<std::string> answers{"40", "50"};
    // Each question, once it has the keyboard, gets its answer typed as a user would.
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box == &selector || box->property("answered").toBool() || !box->isActiveWindow()) return;
        if (answers.empty()) return;
        box->setProperty("answered", true);
        // The box's centre in device pixels (logical ones are scaled from the origin).
        const QPoint centre = (QPointF(box->geometry().center()) * box->devicePixelRatioF()).toPoint();
        EXPECT_NE(platform::objectAt({centre.x(), centre.y()}), static_cast<platform::WindowId>(selector.winId()))
            << "the question is above the frozen desktop";
        for (char c : answers.front()) xt::pressKey(static_cast<uint32_t>(c));
        xt::pressKey(xt::keysym::Return);
        answers.erase(answers.begin());
    });
    typist.start(20);
    QTimer::singleShot(0, [&] {
        xt::waitUntil([] { return xt::pointerGrabbedElsewhere(); }, 5s);
        selector.R3->trigger();
        selector.reject();
    });
    selector.exec();
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(selector.R3->isChecked());
    EXPECT_EQ(selection.Sizes.FixedWidth, 40);
    EXPECT_EQ(selection.Sizes.FixedHeight, 50);
}

TEST(DevicePixels, PointerPositionsAndRepaintRectanglesSurviveEveryRatio)
{
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        // The toolkit hands a pointer over as its device position divided by the ratio.
        int lost = 0;
        for (int p = 0; p < 4000; ++p) lost += platform::toDevicePixel(QPointF(p, p) / ratio, ratio) != QPoint(p, p);
        EXPECT_EQ(lost, 0);
        // A repaint of a one-pixel edge anywhere covers that edge, and not
        // much more: at most the logical pixels it touches.
        for (const QRect device : {QRect(0, 0, 1, 1), QRect(7, 3, 300, 1), QRect(1919, 11, 1, 1069)}) {
            const QRect logical = platform::logicalCover(device, ratio);
            EXPECT_TRUE(platform::deviceCover(logical, ratio).contains(device));
            EXPECT_LE(logical.width(), device.width() / ratio + 2);
            EXPECT_LE(logical.height(), device.height() / ratio + 2);
        }
    }
}

TEST(Selectors, CoverTheDesktopInDevicePixelsAndReadThePointerThere)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    const auto size = xt::screenSize();
    const ScreenRect screen{0, 0, size.width, size.height};
    auto snapshot = pixels::Picture::create(size.width, size.height, pixels::PixelFormat::DeviceDefault);
    // Drives the shown window as a user would, once it holds the pointer.
    const auto userDoes = [](std::function<void()> actions) {
        QTimer::singleShot(0, [actions] {
            if (xt::waitUntil([] { return xt::pointerGrabbedElsewhere(); }, 5s)) actions();
        });
    };
    {
        AreaSelection selection;
        TRectangle1 selector(selection, screen, snapshot, screen);
        ScreenRect placed;
        userDoes([&] {
            placed = platform::windowClientRect(static_cast<platform::WindowId>(selector.winId()));
            xt::movePointer(101, 77);
            xt::buttonDown(1);
            xt::movePointer(180, 150);
            xt::movePointer(250, 191);
            xt::buttonUp(1);
        });
        EXPECT_EQ(selector.exec(), 1);
        EXPECT_EQ(placed, screen) << "the whole desktop, in device pixels";
        EXPECT_EQ(selection.SelectedArea, (AreaRect{101, 77, 251, 192}));
        EXPECT_EQ(selector.StaticText1->text(), "150 x 115");
    }
    {
        TCapturecontrol1 picker(snapshot, screen);
        userDoes([] {
            xt::movePointer(333, 221);
            xt::clickButton(3);
        });
        EXPECT_EQ(picker.exec(), 1);
        EXPECT_EQ(picker.PickedPoint, (platform::ScreenPoint{333, 221}));
        EXPECT_EQ(picker.StaticText1->text(), "333 , 221");
    }
}

TEST(Selectors, AFailedGrabEndsAtOnceWithNothingChosenAndNothingShown)
{
    // No snapshot (the desktop could not be grabbed): nothing to choose from.
    AreaSelection selection;
    selection.SelectedArea = {1, 2, 30, 40};
    TRectangle1 selector(selection, Desktop, pixels::Picture{}, Desktop);
    EXPECT_EQ(selector.exec(), 0);
    EXPECT_FALSE(selector.isVisible());
    EXPECT_EQ(selection.SelectedArea, (AreaRect{1, 2, 30, 40}));
    TCapturecontrol1 picker(pixels::Picture{}, Desktop);
    EXPECT_EQ(picker.exec(), 0);
    EXPECT_FALSE(picker.isVisible());
}
