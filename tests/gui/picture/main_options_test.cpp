// The option controls' handlers: sliders show every position but rebuild the
// picture once, resets, "Taille" with its bounds, check boxes by mouse only.
#include "main_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QStatusBar>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

namespace kaptivus::picture::testing {
namespace {

QRect SubControl(QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

QPoint ThumbCentre(QScrollBar* bar) { return SubControl(bar, QStyle::SC_ScrollBarSlider).center(); }

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

TEST_F(MainWindowTest, DraggingASliderShowsEveryPositionAndRebuildsOnceOnRelease)
{
    showPicture(40, 30);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QScrollBar* bar = main1->ScrollBar1;
    QStringList shown;
    QObject::connect(bar, &QScrollBar::sliderMoved, main1.get(),
                     [&](int) { shown << main1->StaticText1->text(); });

    QPoint pos = ThumbCentre(bar);
    SendMouse(bar, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    for (int step = 0; step < 40 && bar->sliderPosition() < 100; ++step) {
        pos.rx() += 1;
        SendMouse(bar, QEvent::MouseMove, pos, Qt::LeftButton);
        EXPECT_EQ(runs->count(), 0) << "rebuilt while dragging";
    }
    SendMouse(bar, QEvent::MouseButtonRelease, pos, Qt::NoButton);

    ASSERT_GT(shown.size(), 3);
    for (qsizetype i = 1; i < shown.size(); ++i)
        EXPECT_GT(shown[i].toInt(), shown[i - 1].toInt());
    EXPECT_EQ(main1->StaticText1->text(), QString::number(bar->value()));
    EXPECT_EQ(bar->toolTip(), QString::number(bar->value()));
    EXPECT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    QTest::qWait(50);
    EXPECT_EQ(runs->count(), 1);
}

TEST_F(MainWindowTest, AnArrowClickMovesOneStepAndRebuildsOnce)
{
    showPicture(40, 30);
    main1->ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    QTest::qWait(20);
    EXPECT_EQ(runs->count(), 1);
    EXPECT_EQ(main1->StaticText1->text(), QStringLiteral("10"));
    EXPECT_EQ(main1->ScrollBar1->toolTip(), QStringLiteral("10"));
}

TEST_F(MainWindowTest, HoldingAnArrowShowsEachStepAndRebuildsOnceOnRelease)
{
    showPicture(40, 30);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QScrollBar* bar = main1->ScrollBar2;
    const QPoint arrow = SubControl(bar, QStyle::SC_ScrollBarAddLine).center();
    ASSERT_TRUE(bar->rect().contains(arrow));
    QTest::mousePress(bar, Qt::LeftButton, {}, arrow);
    // The arrow repeats while held; every position is shown, nothing is rebuilt.
    ASSERT_TRUE(WaitFor([&] { return bar->value() >= 30; }));
    ASSERT_TRUE(WaitFor([&] { return main1->StaticText1->text().toInt() >= 30; }));
    EXPECT_EQ(runs->count(), 0);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, arrow);
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    QTest::qWait(50);
    EXPECT_EQ(runs->count(), 1);
    EXPECT_EQ(main1->StaticText1->text(), QString::number(bar->value()));
}

TEST_F(MainWindowTest, EachWheelStepIsAWholeScroll)
{
    showPicture(40, 30);
    QScrollBar* bar = main1->ScrollBar4;
    const QPoint centre = bar->rect().center();
    QWheelEvent wheel(QPointF(centre), QPointF(bar->mapToGlobal(centre)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &wheel);
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(main1->StaticText1->text(), QString::number(bar->value()));
    QTest::qWait(30);
    EXPECT_EQ(runs->count(), 1);
}

TEST_F(MainWindowTest, NearAQuarterTurnTheCaptureSizeIsPassedSwapped)
{
    showPicture(40, 30);
    main1->ScrollBar9->setValue(85);
    main1->ScrollBar1Scroll(main1->ScrollBar9, 85, true);
    ASSERT_EQ(runs->count(), 1);
    EXPECT_EQ(runs->at(0).at(1).toInt(), 30);
    EXPECT_EQ(runs->at(0).at(2).toInt(), 40);
    EXPECT_EQ(main1->ScrollBar9->value(), 90); // snapped by the pipeline
    main1->Label14Click();
    ASSERT_EQ(runs->count(), 2);
    EXPECT_EQ(runs->at(1).at(1).toInt(), 40); // label resets use the natural order
}

TEST_F(MainWindowTest, UndoResetsTheSlidersButKeepsCheckBoxesAndSwatches)
{
    showPicture(40, 30);
    main1->CheckBox1->setChecked(true);
    main1->Panel4->setColor(0x123456);
    for (QScrollBar* bar : {main1->ScrollBar1, main1->ScrollBar2, main1->ScrollBar3, main1->ScrollBar4,
                            main1->ScrollBar5, main1->ScrollBar6, main1->ScrollBar7, main1->ScrollBar9})
        bar->setValue(bar->maximum());
    main1->ScrollBar8->setValue(250);
    main1->StaticText1->setText(QStringLiteral("77"));

    QTest::mouseClick(main1->Button2, Qt::LeftButton);

    for (QScrollBar* bar : {main1->ScrollBar1, main1->ScrollBar2, main1->ScrollBar3, main1->ScrollBar4,
                            main1->ScrollBar5, main1->ScrollBar6, main1->ScrollBar7, main1->ScrollBar9})
        EXPECT_EQ(bar->value(), 0) << bar->objectName().toStdString();
    EXPECT_EQ(main1->ScrollBar8->value(), 100);
    EXPECT_EQ(main1->StaticText1->text(), QStringLiteral("0"));
    EXPECT_TRUE(main1->CheckBox1->isChecked());
    EXPECT_EQ(main1->Panel4->color(), 0x123456u);
    EXPECT_EQ(runs->count(), 1);
}

TEST_F(MainWindowTest, SliderLabelsResetTheirSliderAndLeaveTheNumberShown)
{
    showPicture(40, 30);
    main1->StaticText1->setText(QStringLiteral("42"));
    main1->ScrollBar8->setValue(300);
    QTest::mouseClick(main1->Label6, Qt::LeftButton);
    EXPECT_EQ(main1->ScrollBar8->value(), 100);
    EXPECT_EQ(main1->StaticText1->text(), QStringLiteral("42"));
    EXPECT_EQ(runs->count(), 1);
    const std::pair<TClickLabel*, QScrollBar*> pairs[] = {
        {main1->Label1, main1->ScrollBar1}, {main1->Label2, main1->ScrollBar2}, {main1->Label9, main1->ScrollBar3},
        {main1->Label10, main1->ScrollBar6}, {main1->Label11, main1->ScrollBar7}, {main1->Label12, main1->ScrollBar5},
        {main1->Label4, main1->ScrollBar4}, {main1->Label14, main1->ScrollBar9}};
    for (const auto& [label, bar] : pairs) {
        bar->setValue(bar->maximum());
        QTest::mouseClick(label, Qt::LeftButton);
        EXPECT_EQ(bar->value(), 0) << label->objectName().toStdString();
    }
    EXPECT_EQ(runs->count(), 9);
}

struct SizeCase {
    const char* width;
    const char* height;
    int expectedWidth;
    int expectedHeight;
};

TEST_F(MainWindowTest, SizeButtonAcceptsOnlySizesWithinBounds)
{
    const SizeCase cases[] = {
        {"ABC", "50", 100, 50},   {"9999", "50", 100, 50}, {"15", "50", 100, 50},  {"1280", "1024", 1280, 1024},
        {"16", "16", 16, 16},     {"200", "1025", 200, 80}, {"", "abc", 100, 80},  {"-20", "0", 100, 80},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::string(c.width) + " x " + c.height);
        showPicture(100, 80);
        main1->Edit1->setText(QString::fromLatin1(c.width));
        main1->Edit2->setText(QString::fromLatin1(c.height));
        main1->Button1Click();
        ASSERT_EQ(runs->count(), 1);
        EXPECT_TRUE(runs->at(0).at(0).toBool());
        EXPECT_EQ(runs->at(0).at(1).toInt(), c.expectedWidth);
        EXPECT_EQ(runs->at(0).at(2).toInt(), c.expectedHeight);
        EXPECT_EQ(main1->Image1->image().size(), QSize(c.expectedWidth, c.expectedHeight));
    }
}

TEST_F(MainWindowTest, SizeFieldsTypeUpperCase)
{
    main1->Edit1->setText(QString());
    QTest::keyClicks(main1->Edit1, QStringLiteral("ab12x"));
    EXPECT_EQ(main1->Edit1->text(), QStringLiteral("AB12"));
}

TEST_F(MainWindowTest, SizeWithAFrameGrowsByTwiceTheFrameEachClick)
{
    main1->ScrollBar4->setValue(3);
    showPicture(100, 80);
    EXPECT_EQ(main1->Edit1->text(), QStringLiteral("106"));
    main1->Button1Click();
    EXPECT_EQ(main1->Image1->image().size(), QSize(112, 92));
}

TEST_F(MainWindowTest, CheckBoxesRebuildOnMouseReleaseButNotFromTheKeyboard)
{
    showPicture(40, 30);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QTest::mouseClick(main1->CheckBox2, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(main1->CheckBox2->isChecked());
    ASSERT_TRUE(WaitFor([&] { return runs->count() == 1; }));
    // The box had already changed when the picture was rebuilt: inverted red is cyan.
    EXPECT_EQ(main1->Image1->image().pixelColor(5, 20), QColor(0, 255, 255));

    main1->CheckBox2->setFocus();
    QTest::keyClick(main1->CheckBox2, Qt::Key_Space);
    EXPECT_FALSE(main1->CheckBox2->isChecked());
    QTest::qWait(50);
    EXPECT_EQ(runs->count(), 1);
}

TEST_F(MainWindowTest, ColourDepthChoiceRebuilds)
{
    showPicture(40, 30);
    main1->ComboBox1->setCurrentIndex(3);
    main1->ComboBox1Change();
    EXPECT_EQ(runs->count(), 1);
    main1->FormPaint();
    EXPECT_TRUE(main1->StatusBar1->currentMessage().contains(QStringLiteral("256 Coul.")));
}

TEST_F(MainWindowTest, PlusSharpensTheShownPictureOnceMoreEachClick)
{
    showPicture(40, 30);
    int calls = 0;
    main1->sharpenOnce = [&](pixels::Picture& p) {
        ++calls;
        p.setPixel(0, 0, pixels::PixelBGR{1, 2, 3});
        return true;
    };
    QTest::mouseClick(main1->Button3, Qt::LeftButton);
    QTest::mouseClick(main1->Button3, Qt::LeftButton);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(main1->Image1->image().pixelColor(0, 0), QColor(3, 2, 1));
    EXPECT_EQ(runs->count(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A failed sharpening leaves the picture as it was.
    main1->sharpenOnce = [](pixels::Picture& p) {
        p.setPixel(0, 0, pixels::PixelBGR{9, 9, 9});
        return false;
    };
    main1->Button3Click();
    EXPECT_EQ(main1->Image1->image().pixelColor(0, 0), QColor(3, 2, 1));
    // Running out of memory mid-way still gives the cursor back.
    main1->sharpenOnce = [](pixels::Picture&) -> bool { throw std::bad_alloc(); };
    EXPECT_THROW(main1->Button3Click(), std::bad_alloc);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kaptivus::picture::testing
