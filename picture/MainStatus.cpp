// The picture window's status line and size fields, refreshed as it paints.
#include "picture/Main.h"

#include "dialogs/DesignFont.h"
#include "picture/MainDesign.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include <cmath>

using kaptivus::picture::kDesignWidth;

namespace {

QString ColourLabel(int bits)
{
    switch (bits) {
    case 1: return QStringLiteral("2 Coul.");
    case 4: return QStringLiteral("16 Coul.");
    case 8: return QStringLiteral("256 Coul.");
    case 15: return QStringLiteral("32K Coul.");
    case 16: return QStringLiteral("64K Coul.");
    case 24: return QStringLiteral("16M Coul.");
    default: return QStringLiteral("64M Coul.");
    }
}

QString StatusText(int width, int height, qint64 kilobytes, const QString& colours, quint64 total, quint64 free)
{
    return QStringLiteral(" Taille Image %1 X %2  =  %3 ko avec %4   /   Mémoire totale=%5 ko  Mémoire libre=%6 ko")
        .arg(width)
        .arg(height)
        .arg(kilobytes)
        .arg(colours)
        .arg(total)
        .arg(free);
}

} // namespace

// The status line at its longest likely length (a picture of the largest
// "Taille", this machine's memory) fits the bar at the design width: the
// memory figures come last and would be the ones cut.
void TMain1::fitStatusBarFont()
{
    const quint64 total = memoryInfo ? memoryInfo().first : 0;
    const QString longest = StatusText(1280, 1024, 5120, ColourLabel(24), total, total);
    QFont font = StatusBar1->font();
    // The bar draws its message 2 pixels in from each side.
    font.setPointSize(PointSizeToFit(font, {longest}, kDesignWidth - 6, 8, 6));
    StatusBar1->setFont(font);
}

void TMain1::FormPaint()
{
    const int bits = shownBits();
    const int w = Image1->image().width();
    const int h = Image1->image().height();
    // In 64 bits: a picture kept at a huge capture's own size would overflow
    // a 32-bit product and show a negative size.
    const int64_t product = int64_t(w) * h * bits;
    const double kilobytes = std::nearbyint(double(product) / 8.0 / 1024.0);
    const auto memory = memoryInfo ? memoryInfo() : std::pair<quint64, quint64>{0, 0};
    // Only changed texts are set: this runs from paint events, and setting a
    // text schedules another paint.
    const QString status = StatusText(w, h, qint64(kilobytes), ColourLabel(bits), memory.first, memory.second);
    if (StatusBar1->currentMessage() != status)
        StatusBar1->showMessage(status);
    if (m_sizeFieldsDue) {
        m_sizeFieldsDue = false;
        refreshSizeField(Edit1, w);
        refreshSizeField(Edit2, h);
    }
    BitBtn1->setToolTip(QStringLiteral("C'est parti !\r\n") + (m_agent ? m_agent->printer() : QString()));
    const QString editor = m_agent ? m_agent->editor() : QString();
    // The stored path may come from another system: cut at either separator.
    const QString editorName = editor.mid(std::max(editor.lastIndexOf(QLatin1Char('/')),
                                                   editor.lastIndexOf(QLatin1Char('\\'))) + 1);
    ToolButton5->setToolTip(editor.isEmpty() ? QStringLiteral("Editeur d'image")
                                             : QStringLiteral("Editeur =") + editorName);
}

void TMain1::refreshSizeField(QLineEdit* edit, int value) const
{
    // A size the user is typing stays until the user leaves the field.
    if (edit->hasFocus() && edit->isModified())
        return;
    if (edit->text() != QString::number(value))
        edit->setText(QString::number(value));
}
