// The printer set-up dialog of "Imprimante": the paper and orientation chosen
// there are what the next job on that queue prints on, and what the dialog
// shows when it opens again.
#include "print_fixture.h"

#include "print/PrintQueue.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace kaptivus::print::testing;

namespace {

struct SetupSeen {
    QString paper;     // the paper the dialog opened on
    bool landscape = false;
};

// Opens the set-up dialog through its button; notes what it shows, then picks
// `paper` and the orientation (when given) and presses OK.
SetupSeen RunSetup(TMain1& main1, const QString& paper, std::optional<bool> landscape)
{
    SetupSeen seen;
    kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
        auto* sizes = modal->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        auto* landscapeButton = modal->findChild<QRadioButton*>(QStringLiteral("landscape"));
        auto* portraitButton = modal->findChild<QRadioButton*>(QStringLiteral("portrait"));
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        if (!sizes || !landscapeButton || !portraitButton || !buttons) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        // Clicks need the dialog laid out and on screen.
        if (!QTest::qWaitForWindowExposed(modal))
            return;
        seen.paper = sizes->currentText();
        seen.landscape = landscapeButton->isChecked();
        if (!paper.isEmpty())
            sizes->setCurrentIndex(sizes->findText(paper, Qt::MatchStartsWith));
        // A radio button takes clicks on its mark and caption only, at its left.
        if (landscape) {
            QRadioButton* button = *landscape ? landscapeButton : portraitButton;
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        }
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    QTest::mouseClick(main1.ToolButton8, Qt::LeftButton);
    return seen;
}

// The first page's size in whole points: "Page size:   595 x 842 pts (A4)".
QSize PdfPageSize(const QString& pdf)
{
    const QString info = QString::fromUtf8(Poppler(QStringLiteral("pdfinfo"), {pdf}));
    for (const QString& line : info.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QStringLiteral("Page size:")))
            continue;
        const QStringList words = line.mid(10).simplified().split(QLatin1Char(' '));
        if (words.size() >= 3)
            return QSize(qRound(words[0].toDouble()), qRound(words[2].toDouble()));
    }
    return {};
}

// Where the picture's colours lie on the first page, rendered at 72 dpi; the
// footer's black text does not count.
QRect ColouredBox(const QString& pdf)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    Poppler(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-singlefile"),
                                         pdf, base});
    const QImage page = QImage(base + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 100)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace

TEST_F(PrintTest, SetUpPaperIsUsedByTheNextJobAndShownAgain)
{
    const struct {
        const char* name;
        QString paper;
        std::optional<bool> landscape;
        QSize points; // the printed sheet
        bool turned;  // the page lies turned on it
    } cases[] = {
        {"A4", QStringLiteral("A4"), false, {595, 842}, false},
        {"A4 landscape", QStringLiteral("A4"), true, {595, 842}, true},
        {"Legal", QStringLiteral("Legal"), false, {612, 1008}, false},
    };
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
    main1->Closeafterprinting1->setChecked(false);
    main1->ComboBox2->setCurrentIndex(0); // the queue by its name
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    int jobs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup(*main1, c.paper, c.landscape);
        EXPECT_EQ(main1->RadioButton2->isChecked(), *c.landscape) << "the orientation chosen is the page's";
        ASSERT_TRUE(printAndWait(++jobs));
        EXPECT_EQ(PdfPageSize(cups().jobFiles().constLast()), c.points);
        const QRect picture = ColouredBox(cups().jobFiles().constLast());
        EXPECT_EQ(picture.height() > picture.width(), c.turned) << "the 20 x 10 picture on the sheet";
        // Opening the dialog again shows the paper and orientation that printed.
        const SetupSeen again = RunSetup(*main1, {}, std::nullopt);
        EXPECT_TRUE(again.paper.startsWith(c.paper)) << again.paper.toStdString();
        EXPECT_EQ(again.landscape, *c.landscape);
    }
}

TEST_F(PrintTest, NoDefaultPrinterSetNamesTheInstalledOnes)
{
    // A fresh scheduler with two queues, neither of them the default.
    cupsHolder = std::make_unique<kaptivus::test::PrivateCups>();
    ASSERT_TRUE(cups().start()) << cups().errorLog().toStdString();
    ASSERT_TRUE(cups().addQueue(kQueue, false));
    ASSERT_TRUE(cups().addQueue(QStringLiteral("Second"), false));
    ASSERT_TRUE(kaptivus::print::DefaultQueue().isEmpty());
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
    main1->ComboBox2->setCurrentIndex(main1->ComboBox2->count() - 1);
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"print", [&] { main1->BitBtn1Click(); }},
        {"set-up", [&] { QTest::mouseClick(main1->ToolButton8, Qt::LeftButton); }},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        QString shown;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            shown = modal->windowTitle() + QLatin1Char('|') + (qobject_cast<QMessageBox*>(modal)
                                                                   ? qobject_cast<QMessageBox*>(modal)->text()
                                                                   : modal->objectName());
            static_cast<QDialog*>(modal)->reject();
        });
        run();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("Erreur|"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("no default printer is set"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(kQueue) && shown.contains(QStringLiteral("Second"))) << shown.toStdString();
        EXPECT_FALSE(shown.contains(QStringLiteral("not running"))) << shown.toStdString();
    }
    EXPECT_TRUE(cups().jobFiles().isEmpty());
}
