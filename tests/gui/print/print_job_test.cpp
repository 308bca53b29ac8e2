// The print job through a real queue: each copy's PDF rendered by poppler at
// the queue's resolution, the picture found on the page and its colours read.
#include "print_fixture.h"

#include "dialogs/SystemInfo.h"
#include "print/PrintTexts.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QPdfWriter>
#include <QRadioButton>
#include <QRegularExpression>

using namespace kaptivus::print::testing;

namespace {

// Letter at 600 dpi is 5100 × 6600 dots; the queue keeps 18 pt (150 dots) free
// at the sides and 36 pt (300 dots) at the top and bottom.
constexpr int kSideMargin = 150;
constexpr int kEndMargin = 300;
constexpr int kPrintableWidth = 4800;
constexpr int kPrintableHeight = 6000;

// The height of a footer line in dots: the "Arial" face at 600 dpi.
int LineHeight(int points)
{
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter writer(&sink);
    writer.setResolution(600);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    return QFontMetrics(font, &writer).height();
}

// 200 × 100 pixels: left half red, right half blue, the top-left 4 × 4 green.
// At 7 dots a pixel it is 1400 × 700 dots at 100 %.
constexpr int kPictureWidth = 200;
constexpr int kPictureHeight = 100;

struct Placement {
    const char* name;
    std::function<void(TMain1&)> options;
    bool landscape;
    // The expected rectangle within the printable area, given its usable height.
    std::function<QRect(int usableHeight)> expected;
};

void Landscape(TMain1& m) { m.RadioButton2->setChecked(true); }

} // namespace

TEST_F(PrintTest, PlacesThePictureAsTheOptionsSay)
{
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(kPictureWidth, kPictureHeight));
    main1->CheckBox7->setChecked(false); // no footer line; one line's height stays free
    const int band = LineHeight(8);
    const Placement cases[] = {
        {"centred", [](TMain1&) {}, false, [](int h) { return QRect(1700, (h - 700) / 2, 1400, 700); }},
        {"top left", [](TMain1& m) { m.ComboBox3->setCurrentIndex(1); }, false,
         [](int) { return QRect(0, 0, 1400, 700); }},
        {"top right", [](TMain1& m) { m.ComboBox3->setCurrentIndex(2); }, false,
         [](int) { return QRect(3400, 0, 1400, 700); }},
        {"bottom left", [](TMain1& m) { m.ComboBox3->setCurrentIndex(3); }, false,
         [](int h) { return QRect(0, h - 700, 1400, 700); }},
        {"bottom right, on the footer band", [](TMain1& m) { m.ComboBox3->setCurrentIndex(4); }, false,
         [](int h) { return QRect(3400, h - 700, 1400, 700); }},
        {"image 10 %", [](TMain1& m) { m.UpDown1->setValue(10); }, false,
         [](int h) { return QRect(2330, (h - 70) / 2, 140, 70); }},
        // 5600 × 2800 dots, fitted to the width: r = 5600 / 4800.
        {"image 400 %, proportional", [](TMain1& m) { m.UpDown1->setValue(400); }, false,
         [](int h) { return QRect(0, (h - 2400) / 2, 4800, 2400); }},
        {"image 400 %, independent",
         [](TMain1& m) {
             m.UpDown1->setValue(400);
             m.CheckBox6->setChecked(false);
         },
         false, [](int h) { return QRect(0, (h - 2800) / 2, 4800, 2800); }},
        {"page 50 %",
         [](TMain1& m) {
             m.RadioButton6->setChecked(true);
             m.UpDown5->setValue(50);
         },
         false, [](int h) { return QRect(2050, (h - 350) / 2, 700, 350); }},
        // Landscape: the printable area is 6000 × 4800 dots.
        {"landscape centred", Landscape, true, [](int h) { return QRect(2300, (h - 700) / 2, 1400, 700); }},
        {"landscape image 400 %, bottom right",
         [](TMain1& m) {
             Landscape(m);
             m.UpDown1->setValue(400);
             m.ComboBox3->setCurrentIndex(4);
         },
         true, [](int h) { return QRect(400, h - 2800, 5600, 2800); }},
        {"landscape page 50 %, independent",
         [](TMain1& m) {
             Landscape(m);
             m.RadioButton6->setChecked(true);
             m.UpDown5->setValue(50);
             m.CheckBox6->setChecked(false);
         },
         true, [](int h) { return QRect(2650, (h - 350) / 2, 700, 350); }},
    };
    int jobs = 0;
    for (const Placement& c : cases) {
        SCOPED_TRACE(c.name);
        main1->RadioButton1->setChecked(true);
        main1->ComboBox3->setCurrentIndex(0);
        main1->UpDown1->setValue(100);
        main1->UpDown5->setValue(100);
        main1->RadioButton8->setChecked(true);
        main1->CheckBox6->setChecked(true);
        c.options(*main1);
        ASSERT_TRUE(printAndWait(++jobs)) << cups().errorLog().toStdString();
        QImage page = RenderPage(cups().jobFiles().back());
        ASSERT_EQ(page.size(), QSize(5100, 6600));
        // The queue turns a landscape page onto the portrait sheet; turn it back.
        if (c.landscape)
            page = page.transformed(QTransform().rotate(90));
        const QPoint origin = c.landscape ? QPoint(kEndMargin, kSideMargin) : QPoint(kSideMargin, kEndMargin);
        const int usable = (c.landscape ? kPrintableWidth : kPrintableHeight) - band;
        const QRect want = c.expected(usable).translated(origin);
        const QRect got = InkBox(page);
        EXPECT_NEAR(got.left(), want.left(), 2);
        EXPECT_NEAR(got.top(), want.top(), 2);
        EXPECT_NEAR(got.width(), want.width(), 2);
        EXPECT_NEAR(got.height(), want.height(), 2);
        // True colours: the red and blue halves, the green corner.
        const auto at = [&](double fx, double fy) {
            return page.pixel(got.left() + int(fx * got.width()), got.top() + int(fy * got.height())) & 0xFFFFFF;
        };
        EXPECT_EQ(at(0.25, 0.5), 0xFF0000u);
        EXPECT_EQ(at(0.75, 0.5), 0x0000FFu);
        EXPECT_EQ(at(0.01, 0.02), 0x00FF00u);
    }
}

TEST_F(PrintTest, FooterLinesComeInOrderBelowThePicture)
{
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(kPictureWidth, kPictureHeight));
    main1->CheckBox8->setChecked(true);
    main1->CheckBox9->setChecked(true);
    tray->Footer = QStringLiteral("Atelier du bas de page");
    main1->RadioButton3->setChecked(true); // 12 points
    ASSERT_TRUE(printAndWait(1));
    const QString text = QString::fromUtf8(Poppler(QStringLiteral("pdftotext"),
                                                   {QStringLiteral("-layout"), cups().jobFiles().back(), QStringLiteral("-")}));
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    ASSERT_EQ(lines.size(), 3) << text.toStdString();
    const QRegularExpression date(QStringLiteral("^\\S+, \\S+ \\d\\d, \\d{4} (0[1-9]|1[0-2]):[0-5]\\d (AM|PM)$"));
    EXPECT_TRUE(date.match(lines[0].simplified()).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(lines[1].simplified(), main1->UserSystemLine.simplified());
    EXPECT_EQ(lines[2].trimmed(), QStringLiteral("Atelier du bas de page"));
    // The lines sit in the band under the usable height, the first half a line down.
    const QImage page = RenderPage(cups().jobFiles().back());
    const int band = LineHeight(12);
    const int usable = kPrintableHeight - 4 * band;
    const QRect ink = InkBox(page.copy(0, kEndMargin + usable, page.width(), page.height() - kEndMargin - usable));
    EXPECT_GE(ink.top(), band / 2 - 2);
    EXPECT_LE(ink.bottom(), band / 2 + 3 * band + 2);
    EXPECT_NEAR(ink.left(), kSideMargin + band / 2, 8);
}

TEST_F(PrintTest, EachCopyIsOneJobWithItsNotice)
{
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
    main1->UpDown6->setValue(3);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    QSignalSpy copies(main1.get(), &TMain1::copyPrinted);
    // Disabled under the hourglass while the first copy prints; later copies leave the window usable.
    QList<bool> busy;
    QObject::connect(main1.get(), &TMain1::copyPrinted, [&] {
        busy << (!main1->isEnabled() && QApplication::overrideCursor()
                 && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    });
    ASSERT_TRUE(printAndWait(3));
    EXPECT_EQ(busy, QList<bool>({true, false, false}));
    EXPECT_EQ(copies.count(), 3);
    EXPECT_EQ(notices, QStringList({QStringLiteral("Picture Sent to KaptivusPDF Copy Number 1"),
                                    QStringLiteral("Picture Sent to KaptivusPDF Copy Number 2"),
                                    QStringLiteral("Picture Sent to KaptivusPDF Copy Number 3")}));
    EXPECT_EQ(noticeShown, QList<bool>({true, true, true}));
    const QString name = kaptivus::print::DocumentName(main1->SystemInfo1->NetworkUserName());
    for (const QString& pdf : cups().jobFiles()) {
        const QString info = QString::fromUtf8(Poppler(QStringLiteral("pdfinfo"), {pdf}));
        EXPECT_TRUE(info.contains(QStringLiteral("Title:           ") + name)) << info.toStdString();
    }
    // " Fermer après impression" is on by default: the window has closed.
    EXPECT_FALSE(main1->isVisible());
    EXPECT_TRUE(main1->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintTest, WindowStaysOpenWithoutClosePrint)
{
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
    main1->Closeafterprinting1->setChecked(false);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    ASSERT_TRUE(printAndWait(1));
    EXPECT_TRUE(main1->isVisible());
}
