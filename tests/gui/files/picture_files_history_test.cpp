// The recent-files history: entries fill in turn and wrap, the newest carries
// the mark, clearing starts again at the first entry, the next entry at start
// follows the stored names, and a missing or unreadable file changes nothing.
#include "picture_files_fixture.h"

namespace kaptivus::files::testing {
namespace {

TEST_F(PictureFilesWindowTest, OpenedFilesFillTheEntriesInTurnAndWrap)
{
    // {name opened (empty: clear the history), entry that now holds it and the mark}.
    // The same name twice makes two entries; the fourteenth replaces history1;
    // after clearing, the next file goes into history1 again.
    std::vector<std::pair<QString, int>> steps = {{"/pics/same.png", 0}, {"/pics/same.png", 1}};
    for (int i = 0; i < 13; ++i) steps.push_back({QStringLiteral("/pics/%1.png").arg(i + 3), (i + 2) % 13});
    steps.push_back({QString(), -1});
    steps.push_back({"/pics/after.png", 0});
    for (const auto& [name, entry] : steps) {
        SCOPED_TRACE(name.toStdString());
        if (name.isEmpty())
            main1->ClearHistory1->trigger();
        else
            main1->enterInHistory(name);
        EXPECT_EQ(markedEntry(), entry);
        if (entry >= 0) { EXPECT_EQ(main1->history[size_t(entry)]->text(), name); }
        EXPECT_EQ(main1->N9->isVisible(), entry >= 0);
        EXPECT_EQ(main1->ClearHistory1->isVisible(), entry >= 0);
        for (QAction* item : main1->history) EXPECT_EQ(item->isVisible(), !item->text().isEmpty());
    }
    EXPECT_EQ(historyCaptions()[1], QString());
}

TEST_F(PictureFilesWindowTest, AfterStartTheNextFileFollowsTheStoredNames)
{
    // {names stored, entry the next file fills}
    for (const auto& [stored, next] : {std::pair {5, 5}, {0, 0}, {13, 0}, {12, 12}}) {
        SCOPED_TRACE(stored);
        main1->ClearHistory1->trigger();
        for (int i = 0; i < stored; ++i) main1->enterInHistory(QStringLiteral("/stored/%1.png").arg(i + 1));
        restart();
        EXPECT_EQ(markedEntry(), -1);
        EXPECT_EQ(main1->ClearHistory1->isVisible(), stored > 0);
        for (int i = 0; i < 13; ++i) EXPECT_EQ(main1->history[size_t(i)]->isVisible(), i < stored) << i;
        main1->enterInHistory(QStringLiteral("/new.png"));
        EXPECT_EQ(markedEntry(), next);
        EXPECT_EQ(main1->history[size_t(next)]->text(), QStringLiteral("/new.png"));
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
    if (bells.isWatching()) { EXPECT_TRUE(bells.waitForCount(1)); }
    EXPECT_EQ(main1->history[0]->text(), gone);
    EXPECT_EQ(markedEntry(), 1);
    EXPECT_EQ(main1->Image1->image(), shown);
    EXPECT_EQ(tray->CaptureBitmap.bits(), Asymmetric().bits());
}

TEST_F(PictureFilesWindowTest, AFileThatCannotBeReadKeepsThePictureAndMakesNoHistoryEntry)
{
    // {file, contents, caption of the box}: a decoding error names the file and the reason.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"damaged.bmp", "BM and nothing a bitmap needs", "Erreur"},
        {"damaged.png", "\x89PNG\r\n\x1a\n cut short", "Erreur"}, {"notes.txt", "text", "Kaptivus2000"}};
    showPicture(Asymmetric());
    const QImage shown = main1->Image1->image();
    for (const auto& [name, contents, caption] : cases) {
        SCOPED_TRACE(name);
        const QString file = path(QLatin1String(name));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(contents) > 0);
        out.close();
        ModalAnswers answers({ChooseFile(file)});
        main1->LoadPicture1->trigger();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].caption, QLatin1String(caption));
        const QString expected = answers.boxes[0].caption == QLatin1String("Erreur")
            ? QStringLiteral("Cannot read ") + file + QStringLiteral(": ")
            : QStringLiteral("Can Not read Picture type");
        EXPECT_TRUE(answers.boxes[0].text.startsWith(expected)) << answers.boxes[0].text.toStdString();
        EXPECT_GT(answers.boxes[0].text.size(), expected.size() - 2);
        EXPECT_EQ(main1->Image1->image(), shown);
        EXPECT_EQ(tray->CaptureBitmap.bits(), Asymmetric().bits());
        EXPECT_EQ(historyCaptions(), std::vector<QString>(13));
        EXPECT_FALSE(main1->ClearHistory1->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

// Needs a codec that reads and writes (PNG, BMP, JPEG or GIF); skipped before one exists.
TEST_F(PictureFilesWindowTest, OpeningAFileShowsItAndEntersItEachTime)
{
    const std::string ext = WorkingFormat();
    if (ext.empty()) GTEST_SKIP() << "no picture codec reads and writes yet";
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
