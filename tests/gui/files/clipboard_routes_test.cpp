// The clipboard commands against a real X clipboard held by another program,
// the auto-save tick, the print-or-show route with a print job set, and the
// editor chooser.
#include "picture_files_fixture.h"

#include "files/ui/Editor.h"

#include <QClipboard>
#include <QDirIterator>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QToolButton>

namespace kaptivus::files::testing {
namespace {

// Another program (xclip) takes the clipboard with these bytes of this type.
bool OfferOnClipboard(const QString& file, const QString& type)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", type, "-i", file});
    if (!xclip.waitForFinished(10000) || xclip.exitCode() != 0) return false;
    return WaitFor([&] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return !QGuiApplication::clipboard()->ownsClipboard() && data && data->formats().contains(type);
    });
}

QImage ClipboardAsOthersSeeIt()
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    // Our own process serves the request: keep its event loop running meanwhile.
    if (!WaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000) || xclip.exitCode() != 0) return {};
    return QImage::fromData(xclip.readAllStandardOutput(), "PNG");
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

using RoutesTest = PictureFilesWindowTest;

TEST_F(RoutesTest, PasteTakesEachPictureTypeAnotherProgramOffers)
{
    const struct {
        const char* extension;
        const char* type;
        bool exact;
    } cases[] = {{".png", "image/png", true}, {".bmp", "image/bmp", true}, {".jpg", "image/jpeg", false}};
    const pixels::Picture original = Asymmetric();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        pixels::Picture copy = original;
        const QString file = path(QStringLiteral("offered") + c.extension);
        ASSERT_TRUE(SavePicture(file.toStdString(), copy, false).ok());
        showPicture(Asymmetric(3, 3));
        ASSERT_TRUE(OfferOnClipboard(file, c.type));
        ModalAnswers answers;
        main1->ToolButton3Click();
        EXPECT_EQ(answers.seen, 0);
        ASSERT_EQ(tray->CaptureBitmap.width(), 8);
        ASSERT_EQ(tray->CaptureBitmap.height(), 6);
        EXPECT_EQ(main1->Image1->image().width(), 8);
        if (c.exact) {
            EXPECT_EQ(tray->CaptureBitmap.pixel(7, 5), original.pixel(7, 5));
        }
    }
}

TEST_F(RoutesTest, PasteWithoutAPictureSaysSoAndKeepsTheCapture)
{
    const QString file = path(QStringLiteral("words.txt"));
    QFile text(file);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("no picture here");
    text.close();
    showPicture(Asymmetric(3, 3));
    ASSERT_TRUE(OfferOnClipboard(file, QStringLiteral("text/plain")));
    kaptivus::test::BellWatcher bells;
    ModalAnswers answers;
    main1->PastePicturefromClipboard1->trigger();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(answers.boxes[0].text, QStringLiteral("There is no Picture on the Clipboard"));
    EXPECT_TRUE(bells.waitForCount(1));
    EXPECT_EQ(tray->CaptureBitmap.width(), 3);
}

TEST_F(RoutesTest, CopyCommandsPutTheShownPictureOnTheClipboardWithoutANotice)
{
    for (QAction* command : {main1->CopyPicturetoClipboard1, static_cast<QAction*>(nullptr)}) {
        SCOPED_TRACE(command ? "menu item" : "tool button");
        QGuiApplication::clipboard()->clear();
        showPicture(Asymmetric());
        if (command)
            command->trigger();
        else
            main1->ToolButton4->click();
        const QImage seen = ClipboardAsOthersSeeIt();
        ASSERT_EQ(seen.size(), QSize(8, 6));
        EXPECT_EQ(seen.pixel(7, 5), main1->Image1->image().pixel(7, 5));
        EXPECT_FALSE(info1->isVisible());
    }
}

TEST_F(RoutesTest, AutoSaveTickSkipsWhileACaptureRunsAndOtherwiseSavesANumberedFile)
{
    tray->AutoFolder = folder.path();
    tray->DefaultExt = QStringLiteral(".BMP");
    tray->CaptureBusy = true;
    main1->Timer1Timer();
    EXPECT_TRUE(FilesIn(folder.path()).isEmpty());
    tray->CaptureBusy = false;
    main1->Timer1Timer();
    main1->Timer1Timer();
    EXPECT_EQ(FilesIn(folder.path()), (QStringList{"MyPicture1.bmp", "MyPicture2.bmp"}));
    EXPECT_FALSE(tray->CaptureBusy);
    // Suspended: the tick captures but writes nothing.
    tray->Suspend1->setChecked(true);
    main1->Timer1Timer();
    EXPECT_EQ(FilesIn(folder.path()).size(), 2);
}

TEST_F(RoutesTest, PrintOrShowRoutePrintsDirectlyOnlyWithAPrintJobAndNotFromTheTray)
{
    const struct {
        bool job;
        bool direct;
        bool fromTray;
        bool printed;
    } cases[] = {
        {false, true, false, false}, {true, false, false, false}, {true, true, true, false}, {true, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.job << c.direct << c.fromTray);
        int prints = 0;
        tray->setPrintJob(c.job ? std::function<void()>([&] { ++prints; }) : std::function<void()>());
        EXPECT_EQ(tray->PrinttheDesktop1->isEnabled(), c.job);
        tray->DirectPrintNoDialog1->setChecked(c.direct);
        main1->hide();
        tray->CaptureBusy = true;
        tray->OpenedFromTray = c.fromTray;
        tray->CaptureByHotkey(101);
        EXPECT_EQ(prints, c.printed ? 1 : 0);
        EXPECT_EQ(main1->isVisible(), !c.printed);
        // A direct print leaves no window to close, so the gate opens at once.
        EXPECT_EQ(tray->CaptureBusy, !c.printed);
        main1->close();
    }
    int prints = 0;
    tray->setPrintJob([&] { ++prints; });
    tray->PrinttheDesktop1->trigger();
    EXPECT_EQ(prints, 1);
    EXPECT_FALSE(main1->isVisible());
    EXPECT_EQ(tray->CaptureBitmap.width(), QGuiApplication::primaryScreen()->virtualGeometry().width());
}

TEST(EditorChooser, ListsProgramsInTheFolderOfTheEditorChosenLastTime)
{
    QFileDialog dialog;
    ui::SetUpEditorChooser(dialog, QStringLiteral("/usr/bin/env"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choisir l'éditeur de BMP"));
    EXPECT_EQ(dialog.directory().absolutePath(), QStringLiteral("/usr/bin"));
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(dialog.filter().testFlag(QDir::Executable));
    EXPECT_TRUE(dialog.testOption(QFileDialog::ReadOnly));
}

} // namespace
} // namespace kaptivus::files::testing
