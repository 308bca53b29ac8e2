// The picture window's side of the adjustment pipeline: reading the option
// controls, running the pipeline on the agent's capture, showing the result and
// the automatic copy to the clipboard.
#include "picture/Main.h"

#include "dialogs/UserError.h"
#include "dialogs/WaitCursor.h"
#include "picture/AdjustPipeline.h"
#include "picture/PictureImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>

using kaptivus::picture::PictureOptions;

PictureOptions TMain1::currentPictureOptions() const
{
    PictureOptions o;
    o.brightness = ScrollBar1->value();
    o.contrast = ScrollBar2->value();
    o.saturation = ScrollBar3->value();
    o.red = ScrollBar6->value();
    o.green = ScrollBar7->value();
    o.blue = ScrollBar5->value();
    o.frame = ScrollBar4->value();
    o.rotation = ScrollBar9->value();
    o.resizePercent = ScrollBar8->value();
    o.grey = CheckBox1->isChecked();
    o.invert = CheckBox2->isChecked();
    o.exchange = CheckBox3->isChecked();
    o.substitute = CheckBox14->isChecked();
    o.flipVertical = CheckBox4->isChecked();
    o.flipHorizontal = CheckBox15->isChecked();
    o.emboss = CheckBox10->isChecked();
    o.sharpen = CheckBox11->isChecked();
    o.color1 = Panel2->color();
    o.color2 = Panel3->color();
    o.frameColor = Panel4->color();
    o.colorsIndex = ComboBox1->currentIndex();
    return o;
}

namespace {

// Restores the print button and the cursor on every way out of a run.
class BusyScope {
public:
    explicit BusyScope(QWidget* button) : m_button(button) { m_button->setEnabled(false); }
    ~BusyScope() { m_button->setEnabled(true); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    QWidget* m_button;
    kaptivus::dialogs::WaitCursor m_cursor;
};

// The image is made first: when it cannot be had, the shown picture stays as
// it was. A picture handed over by move is kept without a copy.
void ShowPicture(TImageView& view, kaptivus::pixels::Picture& shown, qint64& shownKey,
                 kaptivus::pixels::Picture picture)
{
    QImage image = kaptivus::picture::toQImage(picture);
    if (image.isNull() && !picture.isEmpty())
        throw kaptivus::dialogs::PictureMemoryError(picture.width(), picture.height());
    shown = std::move(picture);
    view.setImage(std::move(image));
    shownKey = view.image().cacheKey();
}

} // namespace

void TMain1::ApplyPictureOptions(bool explicitSize, int width, int height)
{
    AdjustPicture(explicitSize, width, height);
    ShowAdjustedPicture();
}

void TMain1::AdjustPicture(bool explicitSize, int width, int height)
{
    emit pictureOptionsApplied(explicitSize, width, height);
    BusyScope busy(BitBtn1);
    const kaptivus::pixels::Picture empty;
    const kaptivus::pixels::Picture& capture = m_agent ? m_agent->captureBitmap() : empty;
    kaptivus::picture::PipelineResult result =
        kaptivus::picture::RunPipeline(capture, currentPictureOptions(), explicitSize, width, height);
    if (ScrollBar9->value() != result.snappedRotation)
        ScrollBar9->setValue(result.snappedRotation);
    m_shown = std::move(result.picture);
    m_imageBehind = true;
}

void TMain1::ShowAdjustedPicture()
{
    if (!m_imageBehind)
        return;
    {
        BusyScope busy(BitBtn1);
        m_imageBehind = false;
        kaptivus::pixels::Picture picture = std::move(m_shown);
        try {
            ShowPicture(*Image1, m_shown, m_shownKey, std::move(picture));
        } catch (...) {
            // No image could be had: the window keeps the previous one and
            // reads its picture from it, as if the new one never came.
            m_shown = {};
            m_shownKey = 0;
            throw;
        }
        CopyToClipboard(true);
    }
    repaint();
    FormPaint();
}

bool TMain1::shownIsCurrent() const
{
    const QImage& image = Image1->image();
    return m_imageBehind || (!image.isNull() && image.cacheKey() == m_shownKey);
}

kaptivus::pixels::Picture TMain1::shownPicture() const
{
    if (shownIsCurrent())
        return m_shown;
    const QImage& image = Image1->image();
    const kaptivus::pixels::DeviceFormat device = m_agent ? m_agent->captureBitmap().device()
                                                          : kaptivus::pixels::DeviceFormat{};
    return kaptivus::picture::fromQImage(image, device);
}

void TMain1::setShownPicture(const kaptivus::pixels::Picture& picture)
{
    ShowPicture(*Image1, m_shown, m_shownKey, picture);
}

int TMain1::shownBits() const
{
    const QImage& image = Image1->image();
    if (image.isNull() || shownIsCurrent())
        return kaptivus::pixels::PixelFormatBits(m_shown);
    return kaptivus::pixels::PixelFormatBits(kaptivus::picture::PixelFormatOf(image), {});
}
