// Saving without losing files: the Save dialog asks about the file it will
// really write, a save onto a link writes the link's target, and a failing
// numbered save reports a file-system error as such and opens the capture
// gate before its box.
#include "picture_files_fixture.h"

#include <QFileInfo>

#include <utility>

namespace kaptivus::files::testing {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool IsGif(const QString& path) { return ReadAll(path).startsWith("GIF8"); }

// Closes the Save dialog when it stays open after a "&Non".
void Cancel(QWidget* modal) { QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection); }

// The dialog asked about "Shot.GIF" while the save wrote "Shot.gif", so that
// file was replaced without a word.
TEST_F(PictureFilesWindowTest, SaveDialogReplacedTheFileItWroteWithoutAsking)
{
    struct Case {
        const char* typed;
        int filterIndex;
        const char* existing; // the file the save writes, already there (or a link to shots/x.gif)
        bool link;
        const char* answer; // nullptr: no question expected
    };
    const Case cases[] = {
        {"Shot", 1, "Shot.gif", false, "&Non"},   {"Shot", 1, "Shot.gif", false, "&Oui"},
        {"a.GIF", 2, "a.gif", false, "&Non"},     {"b.bmp", 2, "b.gif", false, "&Oui"},
        {"new", 1, nullptr, false, nullptr},      {"latest.gif", 2, "latest.gif", true, "&Oui"},
    };
    showPicture(Asymmetric());
    tray->DefaultExt = QStringLiteral(".GIF");
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("shots")));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " " + (c.answer ? c.answer : "-"));
        const QString written = path(QLatin1String(c.existing ? c.existing : "new.gif"));
        const QString target = c.link ? path(QStringLiteral("shots/x.gif")) : written;
        QFile::remove(written);
        QFile::remove(target);
        if (c.existing) {
            QFile kept(target);
            ASSERT_TRUE(kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4);
        }
        if (c.link) { ASSERT_TRUE(QFile::link(target, written)); }
        const QString before = main1->SavePictureDialog1.FileName;
        const bool declined = c.answer && QLatin1String(c.answer) == QLatin1String("&Non");
        std::vector<std::function<void(QWidget*)>> handlers{ChooseFile(path(QLatin1String(c.typed)), c.filterIndex)};
        if (declined) handlers.push_back(Cancel);
        ModalAnswers answers(handlers);
        if (c.answer) answers.boxAnswers << QLatin1String(c.answer);
        main1->SavethePicture1->trigger();

        if (!c.answer) {
            EXPECT_TRUE(answers.boxes.empty());
        } else {
            // One question, about the file written, "&Non" unless the user says otherwise.
            ASSERT_EQ(answers.boxes.size(), 1u);
            EXPECT_EQ(answers.boxes[0].caption, QStringLiteral("Confirmer"));
            EXPECT_EQ(answers.boxes[0].text,
                      QFileInfo(written).fileName() + QStringLiteral(" already exists. Do you want to replace it?"));
            EXPECT_EQ(answers.boxes[0].defaultButton, QStringLiteral("&Non"));
        }
        if (declined) {
            EXPECT_EQ(ReadAll(target), QByteArray("kept"));
            EXPECT_EQ(main1->SavePictureDialog1.FileName, before);
        } else {
            EXPECT_TRUE(IsGif(target));
            EXPECT_EQ(QFileInfo(written).isSymLink(), c.link);
        }
        // No temporary file is left behind.
        for (const QString& name : QDir(folder.path()).entryList(QDir::Hidden | QDir::Files))
            EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    }
}

// A file the file system refused was reported as "Invalid Picture Type", and
// a failing save kept the capture gate shut while its box waited for "OK".
TEST_F(PictureFilesWindowTest, NumberedSaveFailuresHeldTheGateUnderTheWrongMessage)
{
    struct Case {
        const char* name;
        QString autoFolder;
        const char* defaultExt;
        int width;
        const char* caption;
        QString text;
    };
    const Case cases[] = {
        {"missing folder", path(QStringLiteral("missing")), ".GIF", 8, "Erreur",
         QStringLiteral("The Picture could not be saved !\nCannot write ") + path(QStringLiteral("missing"))},
        {"picture too big for an icon", path(QString()), ".ICO", 300, "Attention",
         QStringLiteral("Invalid Picture Type")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tray->AutoFolder = c.autoFolder;
        tray->DefaultFile = QStringLiteral("Shot");
        tray->DefaultExt = QLatin1String(c.defaultExt);
        tray->CaptureBitmap = Asymmetric(c.width, 20);
        main1->ApplyPictureOptions(false, c.width, 20);
        bool gateOpenAtBox = false;
        bool ticked = false;
        ModalAnswers answers;
        answers.onBox = [&](QMessageBox*) {
            gateOpenAtBox = !tray->CaptureBusy && !tray->OpenedFromTray;
            // A timer tick while the box is up fails as well, without a second box.
            if (!std::exchange(ticked, true)) tray->AutoSaveTick();
        };
        for (int n = 1; n <= 2; ++n) {
            tray->CaptureBusy = tray->OpenedFromTray = true;
            tray->SaveNumbered();
            EXPECT_FALSE(tray->CaptureBusy);
        }
        ASSERT_EQ(answers.boxes.size(), 2u);
        EXPECT_EQ(answers.boxes[0].caption, QLatin1String(c.caption));
        EXPECT_TRUE(answers.boxes[0].text.startsWith(c.text)) << answers.boxes[0].text.toStdString();
        EXPECT_TRUE(gateOpenAtBox);
    }
}

} // namespace
} // namespace kaptivus::files::testing
