// The "Taille" fields follow the picture on a new picture, a resize and a
// show, but a size the user typed survives every other repaint and is never
// replaced while the user is still typing it.
#include "main_fixture.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

#include <vector>

namespace kaptivus::picture::testing {
namespace {

namespace xt = kaptivus::test;

struct RepaintCase {
    const char* what;
    std::function<void(TMain1&, TTray1&)> repaint;
    bool refreshes;
};

// The pointer across the menu and status bars, and the window's repaint that
// follows (asked for as well, in case hovering alone paints nothing here).
void HoverMenuAndStatusBar(TMain1& main1)
{
    EventCounter counter(QEvent::Paint);
    main1.installEventFilter(&counter);
    for (QWidget* bar : std::vector<QWidget*>{main1.MainMenu1, main1.StatusBar1}) {
        for (int x = 10; x < 200; x += 30) {
            const QPoint p = bar->mapToGlobal(QPoint(x, bar->height() / 2));
            xt::movePointer(p.x(), p.y());
        }
    }
    main1.update();
    EXPECT_TRUE(WaitFor([&] { return counter.count >= 1; }));
    main1.removeEventFilter(&counter);
}

TEST_F(MainWindowTest, ATypedSizeSurvivesRepaintsButNotANewPictureAResizeOrAShow)
{
    const RepaintCase cases[] = {
        {"pointer over the menu and status bars", [](TMain1& m, TTray1&) { HoverMenuAndStatusBar(m); }, false},
        {"a new picture",
         [](TMain1& m, TTray1& t) {
             t.CaptureBitmap = MakeBlockCapture(120, 90);
             m.ApplyPictureOptions(false, 120, 90);
         },
         true},
        {"a resize",
         [](TMain1& m, TTray1&) {
             m.resize(m.width() + 20, m.height());
             ASSERT_TRUE(WaitFor([&] { return m.Edit1->text() == QLatin1String("120"); }));
         },
         true},
        {"a show",
         [](TMain1& m, TTray1&) {
             m.hide();
             m.show();
         },
         true},
    };
    for (const RepaintCase& c : cases) {
        SCOPED_TRACE(c.what);
        showPicture(120, 90);
        main1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
        ASSERT_EQ(main1->Edit1->text(), QStringLiteral("120"));
        main1->Edit1->setText(QStringLiteral("300")); // typed, then the field was left
        main1->Edit2->setText(QStringLiteral("200"));
        c.repaint(*main1, *tray);
        EXPECT_EQ(main1->Edit1->text(), c.refreshes ? QStringLiteral("120") : QStringLiteral("300"));
        EXPECT_EQ(main1->Edit2->text(), c.refreshes ? QStringLiteral("90") : QStringLiteral("200"));
    }
}

TEST_F(MainWindowTest, ASizeBeingTypedIsNotReplacedEvenByANewPicture)
{
    showPicture(120, 90);
    ASSERT_TRUE(ShowActiveAndPlaced(main1.get()));
    const QPoint field = main1->Edit1->mapToGlobal(main1->Edit1->rect().center());
    xt::movePointer(field.x(), field.y());
    xt::clickButton(1);
    ASSERT_TRUE(WaitFor([&] { return main1->Edit1->hasFocus(); }));
    main1->Edit1->selectAll();
    for (uint32_t key : {0x33u, 0x30u, 0x30u}) // "300"
        ASSERT_TRUE(xt::pressKey(key));
    ASSERT_TRUE(WaitFor([&] { return main1->Edit1->text() == QLatin1String("300"); }));

    HoverMenuAndStatusBar(*main1);
    tray->CaptureBitmap = MakeBlockCapture(64, 48);
    main1->ApplyPictureOptions(false, 64, 48);
    EXPECT_EQ(main1->Edit1->text(), QStringLiteral("300"));
    EXPECT_EQ(main1->Edit2->text(), QStringLiteral("48")) << "the field not being typed in follows";

    // "Taille" takes the typed width.
    main1->Button1Click();
    EXPECT_EQ(main1->Image1->image().width(), 300);
    EXPECT_EQ(main1->Edit1->text(), QStringLiteral("300"));
}

} // namespace
} // namespace kaptivus::picture::testing
