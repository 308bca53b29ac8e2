// The picture window at its design size: nothing clipped, covered or lost,
// the frame centred on the screen, and Enter reaches "Impression".
#include "main_fixture.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace kaptivus::picture::testing {
namespace {

namespace xt = kaptivus::test;

int TextWidth(const QWidget* w, const QString& text) { return QFontMetrics(w->font()).horizontalAdvance(text); }

TEST_F(MainWindowTest, AtTheDesignSizeEveryCaptionAndReadoutFitsItsPlace)
{
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    ASSERT_EQ(main1->ClientArea->width(), 626);
    EXPECT_EQ(main1->BitBtn1->size(), QSize(130, 52));
    for (QWidget* w : main1->ToolBar1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || !(qobject_cast<QToolButton*>(w) || w == main1->BitBtn1))
            continue;
        const QString caption = qobject_cast<QAbstractButton*>(w)->text();
        EXPECT_LE(w->geometry().right(), main1->ToolBar1->width() - 1) << "clipped: " << caption.toStdString();
        EXPECT_LE(TextWidth(w, caption), (w == main1->BitBtn1 ? w->width() - 32 : w->width()) - 4)
            << caption.toStdString();
    }
    // "Cadre" ends before the frame colour swatch starts.
    EXPECT_LE(main1->Label4->x() + TextWidth(main1->Label4, main1->Label4->text()), main1->Panel4->x());
    for (QLabel* label : std::initializer_list<QLabel*>{main1->Label1, main1->Label2, main1->Label9, main1->Label14,
                                                        main1->Label6, main1->Label4})
        EXPECT_LE(TextWidth(label, label->text()), label->width()) << label->text().toStdString();
    // The readout beside "Défaire" holds the widest slider position.
    EXPECT_LE(TextWidth(main1->StaticText1, QStringLiteral("-255")), main1->StaticText1->contentsRect().width());
    // The status line of a 1280 x 1024 picture ends with the memory figures inside the bar.
    main1->memoryInfo = [] { return std::pair<quint64, quint64>(16318372, 12345678); };
    main1->Image1->setImage(QImage(1280, 1024, QImage::Format_RGB32));
    main1->FormPaint();
    EXPECT_LE(TextWidth(main1->StatusBar1, main1->StatusBar1->currentMessage()), 626 - 4)
        << main1->StatusBar1->currentMessage().toStdString();
}

TEST_F(MainWindowTest, EverySwatchHasAnEdgeThatShowsOnThePage)
{
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    main1->Panel4->setColor(0xFFFFFF);
    for (TColorPanel* swatch : {main1->Panel2, main1->Panel3, main1->Panel4}) {
        SCOPED_TRACE(swatch->objectName().toStdString());
        const QImage image = swatch->grab().toImage();
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), ToQColor(swatch->color()));
        const int page = qGray(main1->TabSheet1->palette().color(QPalette::Window).rgb());
        for (QPoint edge : {QPoint(0, 0), QPoint(image.width() - 1, image.height() / 2),
                            QPoint(image.width() / 2, image.height() - 1), QPoint(0, image.height() / 2)}) {
            const int grey = qGray(image.pixel(edge));
            EXPECT_LT(grey, 160) << "edge at " << edge.x() << "," << edge.y() << " fades into white";
            EXPECT_GT(std::abs(grey - page), 60);
        }
    }
}

TEST_F(MainWindowTest, CreationCentresTheWindowFrameOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    // Once the window manager has framed the window, the frame is what is centred.
    ASSERT_TRUE(WaitFor([&] {
        const QRect frame = main1->frameGeometry();
        return frame.size() != main1->size() && frame.x() == (screen.width() - frame.width()) / 2
            && frame.y() == (screen.height() - frame.height()) / 2;
    })) << main1->frameGeometry().x() << "," << main1->frameGeometry().y();
}

TEST_F(MainWindowTest, EnterInThePictureWindowClicksImpression)
{
    QSignalSpy prints(main1->BitBtn1, &QPushButton::clicked);
    // Only the click is wanted here; the print job itself has tests of its own.
    QObject::disconnect(main1->BitBtn1, &QPushButton::clicked, main1.get(), nullptr);
    main1->show();
    main1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main1.get()));
    for (QWidget* focus : std::initializer_list<QWidget*>{main1->Edit1, main1->ScrollBar1}) {
        SCOPED_TRACE(focus->objectName().toStdString());
        prints.clear();
        focus->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitFor([&] { return focus->hasFocus(); }));
        ASSERT_TRUE(xt::pressKey(xt::keysym::Return));
        EXPECT_TRUE(WaitFor([&] { return prints.count() == 1; }));
    }
    EXPECT_TRUE(main1->isVisible());
}

} // namespace
} // namespace kaptivus::picture::testing
