// Files we write, opened by independent readers: libwmf's wmf2gd renders our
// WMF, emf2svg-conv turns our EMF into SVG with the bitmap inside; Pillow
// (/usr/bin/python3) decodes what they produce. Skipped, saying which package
// is missing, when a tool is not installed.
#include "codec_test_support.h"
#include "emf_wmf_fixtures.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kaptivus::files::testing {
namespace {

namespace fs = std::filesystem;

class ExternalReader : public ::testing::Test {
protected:
    static bool Have(const char* tool) { return access(tool, X_OK) == 0; }
    fs::path path(const char* name) const { return m_folder / name; }
    // Runs a Pillow script that writes the picture's width, height and RGB rows to out.
    static int python(const std::string& script, const fs::path& in, const fs::path& out)
    {
        const fs::path file = out.string() + ".py";
        std::ofstream(file) << script;
        return testsupport::RunTool(
            "/usr/bin/python3 '" + file.string() + "' '" + in.string() + "' '" + out.string() + "'");
    }

    testsupport::TempFolder m_folder;
};

constexpr const char* kDecodeSvgImage = R"py(import base64, io, re, struct, sys
from PIL import Image
svg = open(sys.argv[1]).read()
tag = re.search(r'<image[^>]*>', svg).group(0)
attr = lambda name: float(re.search(name + r'="([-0-9.]+)"', tag).group(1))
data = re.search(r'base64,([A-Za-z0-9+/=]+)', tag).group(1)
image = Image.open(io.BytesIO(base64.b64decode(data))).convert('RGB')
box = [attr('x'), attr('y'), attr('width'), attr('height')]
open(sys.argv[2], 'wb').write(struct.pack('<4d', *box) + struct.pack('<2i', *image.size) + image.tobytes())
)py";

constexpr const char* kDecodePng = R"py(import struct, sys
from PIL import Image
image = Image.open(sys.argv[1]).convert('RGB')
open(sys.argv[2], 'wb').write(struct.pack('<4d', 0, 0, 0, 0) + struct.pack('<2i', *image.size) + image.tobytes())
)py";

struct Decoded {
    double box[4] {};
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t colour(int x, int y) const
    {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return uint32_t(rgb.at(at)) | uint32_t(rgb.at(at + 1)) << 8 | uint32_t(rgb.at(at + 2)) << 16;
    }
};

Decoded Parse(const std::vector<uint8_t>& bytes)
{
    Decoded d;
    if (bytes.size() < 40) return d;
    std::memcpy(d.box, bytes.data(), 32);
    std::memcpy(&d.width, bytes.data() + 32, 4);
    std::memcpy(&d.height, bytes.data() + 36, 4);
    d.rgb.assign(bytes.begin() + 40, bytes.end());
    return d;
}

TEST_F(ExternalReader, Emf2SvgFindsOurBitmapAtItsPlaceWithTheExactPixels)
{
    if (!Have("/usr/bin/emf2svg-conv")) GTEST_SKIP() << "emf2svg-conv missing (Debian package emf2svg)";
    const int width = 37, height = 23; // an odd width pads every row
    const pixels::Picture picture = RandomPicture(width, height, 21);
    testsupport::WriteFile(path("in.emf"), Write(Metafile::Emf, picture));
    ASSERT_EQ(testsupport::RunTool("emf2svg-conv -i '" + path("in.emf").string() + "' -o '" + path("out.svg").string()
                  + "' >/dev/null 2>&1"),
        0);
    ASSERT_EQ(python(kDecodeSvgImage, path("out.svg"), path("out.raw")), 0);
    const Decoded d = Parse(testsupport::ReadFile(path("out.raw")));
    EXPECT_EQ((std::vector<double>(d.box, d.box + 4)), (std::vector<double> { 0, 0, width, height }));
    ASSERT_EQ(d.width, width);
    ASSERT_EQ(d.height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(d.colour(x, y), ColourAt(picture, x, y)) << "at " << x << "," << y;
}

TEST_F(ExternalReader, Wmf2GdRendersOurWmfAtItsSizeWithItsColours)
{
    if (!Have("/usr/bin/wmf2gd")) GTEST_SKIP() << "wmf2gd missing (Debian package libwmf-bin)";
    // Blocks of 8 × 8 in distinct colours: libwmf places block edges a pixel
    // apart from us when it scales and rounds a channel by one, so the test
    // looks at the middle of each block.
    const int width = 64, height = 48;
    pixels::Picture picture = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(
                x, y, { uint8_t(x / 8 * 30), uint8_t(y / 8 * 50), uint8_t(255 - x / 8 * 20 - y / 8 * 10) });
    testsupport::WriteFile(path("in.wmf"), Write(Metafile::Wmf, picture));
    // Unless told otherwise wmf2gd draws at 72 dpi; asked for the box's size it draws at ours.
    ASSERT_EQ(testsupport::RunTool("wmf2gd --maxwidth=64 --maxheight=48 --maxsize -o '" + path("out.png").string()
                  + "' '" + path("in.wmf").string() + "' >/dev/null 2>&1"),
        0);
    ASSERT_EQ(python(kDecodePng, path("out.png"), path("out.raw")), 0);
    const Decoded d = Parse(testsupport::ReadFile(path("out.raw")));
    ASSERT_EQ(d.width, width);
    ASSERT_EQ(d.height, height);
    for (int y = 3; y < height; y += 8)
        for (int x = 3; x < width; x += 8)
            for (int shift : { 0, 8, 16 }) {
                const int theirs = int(d.colour(x, y) >> shift & 0xFF);
                const int ours = int(ColourAt(picture, x, y) >> shift & 0xFF);
                EXPECT_NEAR(theirs, ours, 2) << "block at " << x << "," << y;
            }
}

} // namespace
} // namespace kaptivus::files::testing
