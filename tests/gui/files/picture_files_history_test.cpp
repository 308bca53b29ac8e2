// The recent-files history: entries fill in turn and wrap, the newest carries
// the mark, clearing starts again at the first entry, the next entry at start
// follows the stored names, and a missing or unreadable file changes nothing.
#include "picture_files_fixture.h"

#include <QMenu>

namespace kaptivus::files::testing {
namespace {

TEST_F(PictureFilesWindowTest, OpenedFilesFillTheEntriesInTurnAndWrap)
{
    struct Step {
        const char* open; // nullptr: clear the history
        int filledEntry;  // 0-based entry that now holds the name and the mark; -1 after clearing
    };
    // The same name twice makes two entries; the fourteenth replaces history1;
    // after clearing, the next file goes into history1 again.
    std::vector<Step> steps = {{"/pics/same.png", 0}, {"/pics/same.png", 1}};
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (int i = 3; i <= 15; ++i)
            n.push_back("/pics/file" + std::to_string(i) + ".png");
        return n;
    }();
    for (int i = 0; i < 13; ++i)
        steps.push_back({names[size_t(i)].c_str(), (i + 2) % 13});
    steps.push_back({nullptr, -1});
    steps.push_back({"/pics/after.png", 0});

    for (const Step& step : steps) {
        SCOPED_TRACE(step.open ? step.open : "clear");
        if (step.open)
            main1->enterInHistory(QString::fromLatin1(step.open));
        else
            main1->ClearHistory1->trigger();
        EXPECT_EQ(markedEntry(), step.filledEntry);
        if (step.filledEntry >= 0) {
            EXPECT_EQ(main1->history[size_t(step.filledEntry)]->text(), QLatin1String(step.open));
        }
        const bool any = step.filledEntry >= 0;
        EXPECT_EQ(main1->N9->isVisible(), any);
        EXPECT_EQ(main1->ClearHistory1->isVisible(), any);
        for (QAction* item : main1->history)
            EXPECT_EQ(item->isVisible(), !item->text().isEmpty()) << item->objectName().toStdString();
    }
    EXPECT_EQ(historyCaptions()[1], QString());
}

TEST_F(PictureFilesWindowTest, AfterStartTheNextFileFollowsTheStoredNames)
{
    struct Case {
        int stored;
        int nextEntry;
    };
    const Case cases[] = {{5, 5}, {0, 0}, {13, 0}, {12, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        main1->ClearHistory1->trigger();
        for (int i = 0; i < c.stored; ++i)
            main1->enterInHistory(QStringLiteral("/stored/%1.png").arg(i + 1));
        restart();
        EXPECT_EQ(markedEntry(), -1);
        EXPECT_EQ(main1->ClearHistory1->isVisible(), c.stored > 0);
        for (int i = 0; i < 13; ++i)
            EXPECT_EQ(main1->history[size_t(i)]->isVisible(), i < c.stored) << i;
        main1->enterInHistory(QStringLiteral("/new.png"));
        EXPECT_EQ(markedEntry(), c.nextEntry);
        EXPECT_EQ(main1->history[size_t(c.nextEntry)]->text(), QStringLiteral("/new.png"));
    }
}

TEST_F(PictureFilesWindowTest, AHistoryEntryWhoseFileHasGoneSaysSoAndChangesNothing)
{
    showPicture(Asymmetric());
    const QImage shown = main1->Image1->image();
    const QString gone = path(QStringLiteral("gone.png"));
    main1->enterInHistory(gone);
    main1->enterInHistory(path(QStringLiteral("other.png")));
    kaptivus::test::BellWatcher bells;
    ModalAnswers answers;
    main1->history[0]->trigger();
    ASSERT_TRUE(WaitFor([&] { return answers.boxes.size() == 1; }));
    EXPECT_EQ(answers.boxes[0].text, QStringLiteral("The Selected Picture was not found !"));
    if (bells.isWatching()) {
        EXPECT_TRUE(bells.waitForCount(1));
    }
    EXPECT_EQ(main1->history[0]->text(), gone);
    EXPECT_EQ(markedEntry(), 1);
    EXPECT_EQ(main1->Image1->image(), shown);
    EXPECT_TRUE(SamePixels(tray->CaptureBitmap, Asymmetric()));
}

TEST_F(PictureFilesWindowTest, AFileThatCannotBeReadKeepsThePictureAndMakesNoHistoryEntry)
{
    struct Case {
        const char* name;
        const char* contents;
        const char* caption;
        const char* text; // the start of the message
    };
    const Case cases[] = {
        {"damaged.bmp", "BM and nothing a bitmap needs", "Erreur", "Cannot read "},
        {"damaged.png", "\x89PNG\r\n\x1a\n cut short", "Erreur", "Cannot read "},
        {"notes.txt", "text", "Kaptivus 2000", "Can Not read Picture type"},
    };
    showPicture(Asymmetric());
    const QImage shown = main1->Image1->image();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QLatin1String(c.name));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.contents);
        out.close();
        ModalAnswers answers({ChooseFile(file)});
        main1->LoadPicture1->trigger();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].caption, QLatin1String(c.caption));
        EXPECT_TRUE(answers.boxes[0].text.startsWith(QLatin1String(c.text))) << answers.boxes[0].text.toStdString();
        if (answers.boxes[0].caption == QLatin1String("Erreur")) {
            EXPECT_TRUE(answers.boxes[0].text.contains(file)) << answers.boxes[0].text.toStdString();
        }
        EXPECT_EQ(main1->Image1->image(), shown);
        EXPECT_TRUE(SamePixels(tray->CaptureBitmap, Asymmetric()));
        EXPECT_EQ(historyCaptions(), std::vector<QString>(13));
        EXPECT_FALSE(main1->ClearHistory1->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

// Needs a codec that reads and writes (PNG, BMP, JPEG or GIF); skipped before one exists.
TEST_F(PictureFilesWindowTest, OpeningAFileShowsItAndEntersItEachTime)
{
    const std::string ext = WorkingFormat();
    if (ext.empty())
        GTEST_SKIP() << "no picture codec reads and writes yet";
    const QString file = path(QStringLiteral("shot") + QString::fromStdString(ext));
    pixels::Picture picture = Asymmetric(9, 7);
    ASSERT_TRUE(SavePicture(file.toStdString(), picture, false).ok());
    for (int entry = 0; entry < 2; ++entry) {
        SCOPED_TRACE(entry);
        ModalAnswers answers({ChooseFile(file)});
        main1->LoadPicture1->trigger();
        EXPECT_TRUE(answers.boxes.empty());
        EXPECT_EQ(tray->CaptureBitmap.width(), 9);
        EXPECT_EQ(main1->Image1->image().size(), QSize(9, 7));
        EXPECT_EQ(main1->history[size_t(entry)]->text(), file);
        EXPECT_EQ(markedEntry(), entry);
    }
    // Choosing an entry opens the file again without touching the history.
    showPicture(Asymmetric(3, 3));
    main1->OpenPictureDialog1.InitialDir.clear();
    main1->history[0]->trigger();
    EXPECT_EQ(main1->Image1->image().size(), QSize(9, 7));
    EXPECT_EQ(markedEntry(), 1);
    EXPECT_EQ(historyCaptions()[2], QString());
    EXPECT_EQ(QDir(main1->OpenPictureDialog1.InitialDir), QDir(folder.path()));
}

} // namespace
} // namespace kaptivus::files::testing
