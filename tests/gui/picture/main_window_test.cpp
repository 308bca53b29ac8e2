// The picture window as a whole: colour picking and the options panel toggle
// on the picture, the status bar, the hints FormPaint fills, fitting to the
// desktop, anchoring, and closing.
#include "main_fixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QScrollBar>
#include <QToolBar>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

namespace kaptivus::picture::testing {
namespace {

constexpr pixels::Color kRed = 0x0000FF;
constexpr pixels::Color kBlue = 0xFF0000;
constexpr pixels::Color kGreen = 0x00FF00;

TEST_F(MainWindowTest, CtrlClicksAlternateBetweenTheTwoExchangeColours)
{
    showPicture(60, 40);
    QTest::mouseClick(main1->Image1, Qt::LeftButton, Qt::ControlModifier, QPoint(5, 20));  // red
    EXPECT_EQ(main1->Panel2->color(), kRed);
    EXPECT_EQ(main1->Panel3->color(), 0xFFFFFFu);
    QTest::mouseClick(main1->Image1, Qt::LeftButton, Qt::ControlModifier, QPoint(50, 20)); // blue
    EXPECT_EQ(main1->Panel3->color(), kBlue);
    EXPECT_EQ(main1->Panel2->color(), kRed);
    QTest::mouseClick(main1->Image1, Qt::LeftButton, Qt::ControlModifier, QPoint(1, 1));   // green
    EXPECT_EQ(main1->Panel2->color(), kGreen);
    EXPECT_EQ(main1->Panel3->color(), kBlue);
    EXPECT_FALSE(main1->PageControl1->isHidden());
    EXPECT_EQ(runs->count(), 0);
}

TEST_F(MainWindowTest, ShiftClickPicksTheFrameColour)
{
    showPicture(60, 40);
    QTest::mouseClick(main1->Image1, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 20));
    EXPECT_EQ(main1->Panel4->color(), kBlue);
    EXPECT_EQ(main1->Panel2->color(), 0x000000u);
    EXPECT_FALSE(main1->ColourPickToggle);
    EXPECT_EQ(runs->count(), 0);
}

TEST_F(MainWindowTest, APickOutsideThePictureTakesNoColour)
{
    showPicture(60, 40);
    main1->Image1MouseUp(Qt::LeftButton, Qt::ControlModifier, 500, -3);
    EXPECT_EQ(main1->Panel2->color(), 0x000000u);
    EXPECT_FALSE(main1->ColourPickToggle);
}

TEST_F(MainWindowTest, PlainAndCtrlShiftClicksToggleTheOptionsPanel)
{
    showPicture(60, 40);
    const QRect before = main1->ScrollBox1->geometry();
    const int grow = main1->PageControl1->width() + 8;

    QTest::mouseClick(main1->Image1, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_TRUE(main1->PageControl1->isHidden());
    EXPECT_EQ(main1->ScrollBox1->width(), before.width() + grow);
    EXPECT_EQ(main1->Image1->toolTip(), QStringLiteral("Clic pour les options\r\nCtrl+Clic pour prélever couleur"
                                                       "\r\nShift+Click prélever coul. cadre"));
    EXPECT_EQ(main1->Panel2->color(), 0x000000u);

    QTest::mouseClick(main1->Image1, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(main1->PageControl1->isHidden());
    EXPECT_EQ(main1->ScrollBox1->geometry(), before);
    EXPECT_EQ(main1->Image1->toolTip(), QStringLiteral("Clic : cache options\r\nCtrl+Clic pour prélever couleur"
                                                       "\r\nShift+Click prélever coul. cadre"));
    EXPECT_EQ(runs->count(), 0);
}

TEST_F(MainWindowTest, TheWidenedScrollBoxStillFollowsTheWindowWidth)
{
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    const QRect box = main1->ScrollBox1->geometry();
    const QRect pages = main1->PageControl1->geometry();
    main1->resize(main1->width() + 100, main1->height() + 50);
    ASSERT_TRUE(WaitFor([&] { return main1->ScrollBox1->width() == box.width() + 100; }));
    EXPECT_EQ(main1->ScrollBox1->height(), box.height() + 50);
    EXPECT_EQ(main1->ScrollBox1->geometry().topLeft(), box.topLeft());
    EXPECT_EQ(main1->PageControl1->geometry(), pages.translated(100, 0));
    EXPECT_EQ(main1->ToolBar1->width(), 626 + 100);

    main1->Image1MouseUp(Qt::LeftButton, Qt::NoModifier, 0, 0);
    const int wide = main1->ScrollBox1->width();
    main1->resize(main1->width() - 100, main1->height());
    ASSERT_TRUE(WaitFor([&] { return main1->ScrollBox1->width() == wide - 100; }));
}

TEST_F(MainWindowTest, StatusBarDescribesThePictureAndTheMemory)
{
    main1->ComboBox1->setCurrentIndex(6); // "16M couleurs"
    showPicture(100, 80);
    main1->FormPaint();
    // 100 × 80 × 24 / 8 / 1024 = 23.4.
    EXPECT_EQ(main1->StatusBar1->currentMessage(),
              QStringLiteral(" Taille Image 100 X 80  =  23 ko avec 16M Coul.   /   Mémoire totale=1000 ko"
                             "  Mémoire libre=500 ko"));
    EXPECT_EQ(main1->Edit1->text(), QStringLiteral("100"));
    EXPECT_EQ(main1->Edit2->text(), QStringLiteral("80"));
}

struct DepthCase {
    int colorsIndex;
    int width, height;
    const char* kilobytes;
    const char* label;
};

TEST_F(MainWindowTest, StatusBarSizeRoundsHalvesToEven)
{
    const DepthCase cases[] = {
        {3, 64, 40, "2", "256 Coul."},  // 2.5 -> 2
        {3, 96, 32, "3", "256 Coul."},  // 3.0
        {3, 112, 32, "4", "256 Coul."}, // 3.5 -> 4
        {1, 64, 64, "0", "2 Coul."},    // 0.5 -> 0
        {2, 64, 96, "3", "16 Coul."},   // 3.0
        {6, 64, 32, "6", "16M Coul."},  // 6.0
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.label);
        main1->ComboBox1->setCurrentIndex(c.colorsIndex);
        showPicture(c.width, c.height);
        main1->FormPaint();
        const QString expected = QStringLiteral("  =  %1 ko avec %2   /").arg(QLatin1String(c.kilobytes),
                                                                           QString::fromUtf8(c.label));
        EXPECT_TRUE(main1->StatusBar1->currentMessage().contains(expected))
            << main1->StatusBar1->currentMessage().toStdString();
    }
}

TEST_F(MainWindowTest, HintsNameThePrinterAndTheEditor)
{
    tray->Printer = QStringLiteral("Bureau");
    tray->Editor = QStringLiteral("/opt/x/Dessin.exe");
    main1->FormPaint();
    EXPECT_EQ(main1->BitBtn1->toolTip(), QStringLiteral("C'est parti !\r\nBureau"));
    EXPECT_EQ(main1->ToolButton5->toolTip(), QStringLiteral("Editeur =Dessin.exe"));
    tray->Editor = QStringLiteral("C:\\Outils\\Dessin.exe");
    main1->FormPaint();
    EXPECT_EQ(main1->ToolButton5->toolTip(), QStringLiteral("Editeur =Dessin.exe"));
    tray->Editor.clear();
    main1->FormPaint();
    EXPECT_EQ(main1->ToolButton5->toolTip(), QStringLiteral("Editeur d'image"));
}

TEST_F(MainWindowTest, AWindowStoredWiderThanTheDesktopOpensAtTheOriginWithTheScreenSize)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    main1->move(100, 50);
    main1->resize(screen.width() + 400, 500);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    // The window manager may push a screen-sized frame's edges just off screen.
    EXPECT_TRUE(WaitFor([&] { return main1->x() <= 0 && main1->y() <= 0; }))
        << main1->x() << "," << main1->y();
    EXPECT_GE(main1->geometry().left(), -1);
    EXPECT_GE(main1->width(), screen.width() - 20);
    EXPECT_LE(main1->width(), screen.width());
    EXPECT_GT(main1->height(), 500);
}

TEST_F(MainWindowTest, AWindowThatFitsKeepsItsPlace)
{
    main1->move(100, 50);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    EXPECT_TRUE(WaitFor([&] { return main1->pos() == QPoint(100, 50); }));
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsClearsTheFlagsAndOnlyHides)
{
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QFile::remove(SettingsFile());
    tray->CaptureBusy = true;
    tray->OpenedFromTray = true;
    main1->ScrollBar1->setValue(-40);
    main1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main1.get()));
    QTest::keyClick(main1.get(), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return !main1->isVisible(); }));
    EXPECT_FALSE(tray->CaptureBusy);
    EXPECT_FALSE(tray->OpenedFromTray);
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\"Brightness\"=dword:ffffffd8"));
}

TEST_F(MainWindowTest, AutoCopyPutsTheShownPictureOnTheClipboard)
{
    showPicture(30, 20);
    QGuiApplication::clipboard()->clear();
    main1->CopyToClipboard(true);
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
    main1->AutocopytoClipboard1->trigger();
    main1->ApplyPictureOptions(false, 30, 20);
    ASSERT_TRUE(WaitFor([] { return !QGuiApplication::clipboard()->image().isNull(); }));
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(30, 20));
    EXPECT_EQ(copied.pixelColor(2, 2), QColor(0, 255, 0));
    EXPECT_EQ(copied.pixelColor(25, 10), QColor(0, 0, 255));
    EXPECT_TRUE(main1->BitBtn1->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kaptivus::picture::testing

namespace kaptivus::picture::testing {
namespace {

TEST_F(MainWindowTest, StatusBarSizeOfAHugePictureDoesNotWrapAround)
{
    // 8200 × 8200 × 32 bits overflows a 32-bit product; 8200 × 8200 × 4 / 1024 = 262656 KB.
    QImage huge(8200, 8200, QImage::Format_RGB32);
    ASSERT_FALSE(huge.isNull());
    main1->Image1->setImage(huge);
    main1->FormPaint();
    EXPECT_TRUE(main1->StatusBar1->currentMessage().contains(QStringLiteral("  =  262656 ko avec 64M Coul.")))
        << main1->StatusBar1->currentMessage().toStdString();
}

TEST_F(MainWindowTest, AnIdleShownWindowStopsRepainting)
{
    showPicture(50, 40);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QTest::qWait(200);
    EventCounter counter(QEvent::Paint);
    main1->installEventFilter(&counter);
    main1->StatusBar1->installEventFilter(&counter);
    main1->update();
    QTest::qWait(300);
    EXPECT_LT(counter.count, 6);
}

TEST_F(MainWindowTest, CreationFillsTheFooterHints)
{
    EXPECT_EQ(main1->CheckBox9->toolTip(), QStringLiteral("Kaptivus 2000 Version 5.10"));
    EXPECT_EQ(main1->CheckBox8->toolTip(), main1->UserSystemLine);
    const QRegularExpression pattern(QStringLiteral("^.+, \\d\\d .+, \\d{4}  (0[1-9]|1[0-2]):[0-5]\\d (AM|PM)$"));
    EXPECT_TRUE(pattern.match(main1->CheckBox7->toolTip()).hasMatch()) << main1->CheckBox7->toolTip().toStdString();
}

} // namespace
} // namespace kaptivus::picture::testing
