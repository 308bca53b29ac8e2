// The file-type lists of the Save and Open picture dialogs: each entry shows
// its caption with one list of patterns, never a second one after it.
#include "picture_files_fixture.h"

#include <QComboBox>
#include <QFileDialog>

namespace kaptivus::files::testing {
namespace {

TEST_F(PictureFilesWindowTest, TheAllFilterShowsOnePatternList)
{
    const struct {
        const char* name;
        QAction* (*command)(TMain1&);
        const char* defaultExt;
        QString all; // the first entry as shown
    } cases[] = {
        {"save, GIF first", [](TMain1& m) { return m.SavethePicture1; }, ".GIF",
         QStringLiteral("All (*.gif *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.png)")},
        {"save, BMP first", [](TMain1& m) { return m.SavethePicture1; }, ".BMP",
         QStringLiteral("All (*.bmp *.jpg *.jpeg *.gif *.ico *.emf *.wmf *.png)")},
        {"open", [](TMain1& m) { return m.LoadPicture1; }, ".BMP",
         QStringLiteral("All (*.gif *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.png)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tray->DefaultExt = QLatin1String(c.defaultExt);
        QStringList shown;
        ModalAnswers answers({[&](QWidget* modal) {
            if (auto* types = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < types->count(); ++i)
                    shown << types->itemText(i);
            static_cast<QDialog*>(modal)->reject();
        }});
        c.command(*main1)->trigger();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.constFirst(), c.all);
        for (const QString& entry : shown)
            EXPECT_EQ(entry.count(QLatin1Char('(')), 1) << entry.toStdString();
        EXPECT_EQ(shown.value(1), QStringLiteral("GIF Image (*.gif)"));
    }
}

} // namespace
} // namespace kaptivus::files::testing
