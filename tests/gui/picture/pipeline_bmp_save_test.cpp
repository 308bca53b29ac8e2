// A BMP save converts the shown picture to 24 bits straight into the file's
// picture: the file must hold the bytes the writer makes when it converts a
// copy itself, and the image on screen, already right, is not made again.
#include "files/PictureFiles.h"
#include "picture/PictureImage.h"
#include "tests/gui/picture/main_fixture.h"
#include "tests/gui/picture/pipeline_fixtures.h"

#include <QComboBox>
#include <QTemporaryDir>

namespace kaptivus::picture::testing {
namespace {

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using PipelineBmpSave = MainWindowTest;

TEST_F(PipelineBmpSave, WritesTheBytesOfTheWritersOwnConversion)
{
    const struct {
        const char* name;
        pixels::DeviceFormat device;
        int colours; // ComboBox1's index
    } cases[] = {
        {"32-bit screen", pixels::DeviceFormat{}, 0},
        {"24-bit screen", pixels::DeviceFormat{24, 24, 0xFF0000, 0x00FF00, 0x0000FF}, 0},
        {"16-bit screen", pixels::DeviceFormat{16, 16, 0xF800, 0x07E0, 0x001F}, 0},
        {"15 bits chosen", pixels::DeviceFormat{}, 4},
        {"256 colours chosen", pixels::DeviceFormat{}, 3},
        {"32 bits chosen", pixels::DeviceFormat{}, 7},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        main1->ComboBox1->setCurrentIndex(c.colours);
        tray->CaptureBitmap = MakeCapture(37, 23, c.device);
        main1->ApplyPictureOptions(false, 37, 23);
        const QImage before = main1->Image1->image();

        pixels::Picture copy = main1->shownPicture();
        const QString expected = folder.filePath(QStringLiteral("expected.bmp"));
        ASSERT_TRUE(files::SavePicture(QFile::encodeName(expected).toStdString(), copy, false,
                                       files::SaveMode::Replace)
                        .ok());

        const QString saved = folder.filePath(QStringLiteral("saved.bmp"));
        ASSERT_TRUE(main1->SavePictureToFile(saved));
        const QByteArray bytes = FileBytes(saved);
        EXPECT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(bytes == FileBytes(expected));

        const pixels::Picture shown = main1->shownPicture();
        EXPECT_EQ(shown.format(), copy.format());
        EXPECT_TRUE(shown.bits() == copy.bits());
        EXPECT_EQ(main1->Image1->image(), toQImage(copy));
        EXPECT_EQ(main1->Image1->image().cacheKey(), before.cacheKey()) << "the shown image was made again";
    }
}

} // namespace
} // namespace kaptivus::picture::testing
