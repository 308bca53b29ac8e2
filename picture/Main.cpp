// The picture window: helper controls, construction, anchoring, and the
// form's create, show, paint and close handlers.
#include "picture/Main.h"

#include "dialogs/DesignFont.h"
#include "dialogs/SystemInfo.h"
#include "files/ui/PictureDialogs.h"
#include "picture/MainIcons.h"
#include "platform/DevicePixels.h"
#include "platform/Geometry.h"
#include "platform/Screen.h"
#include "print/PrintTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>

using kaptivus::pixels::Color;

// --- Helper controls ----------------------------------------------------------

TImageView::TImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::setImage(const QImage& image)
{
    m_image = image;
    resize(sizeHint());
    update();
    emit imageChanged();
}

QSize TImageView::sizeHint() const
{
    // One picture pixel a device pixel: fewer logical pixels on a scaled screen.
    return kaptivus::platform::logicalCover(m_image.rect(), devicePixelRatioF()).size();
}

void TImageView::paintEvent(QPaintEvent*)
{
    // Moved to a screen of another scale since the picture was set.
    if (size() != sizeHint())
        QMetaObject::invokeMethod(this, [this] { resize(sizeHint()); }, Qt::QueuedConnection);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    // Drawn in device pixels, never resampled. At a ratio such as 1.5 the
    // widget's corner can fall between two device pixels; it is put on the
    // one that mouseReleaseEvent counts from.
    const qreal ratio = devicePixelRatioF();
    const QTransform& device = painter.deviceTransform();
    const QPointF shift(std::floor(device.dx() + 0.5) - device.dx(), std::floor(device.dy() + 0.5) - device.dy());
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.drawImage(shift, m_image);
}

void TImageView::mouseReleaseEvent(QMouseEvent* event)
{
    // The device pixel under the pointer, counted from the device pixel of the
    // corner. The window's scene position is not rounded to logical pixels; an
    // event made up without a window (a test's) carries the widget's own
    // position there instead, and that is taken as it is.
    const qreal ratio = devicePixelRatioF();
    const QPointF offset(mapTo(window(), QPoint(0, 0)));
    QPointF local = event->scenePosition() - offset;
    if ((local - event->position()).manhattanLength() > 1)
        local = event->position();
    const QPoint p = kaptivus::platform::toDevicePixel(local + offset, ratio)
                   - kaptivus::platform::toDevicePixel(offset, ratio);
    emit mouseReleased(event->button(), event->modifiers(), p.x(), p.y());
}

TColorPanel::TColorPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setColor(0);
}

void TColorPanel::setColor(Color color)
{
    m_color = color & 0x00FFFFFFu;
    update();
}

// Painted here rather than by the style: a light style draws the sunken edge
// in near-white, and a white swatch then melts into the page. A dark grey
// edge shows against white and black swatches alike.
void TColorPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_color));
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

QColor ToQColor(Color color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Color FromQColor(const QColor& color)
{
    return Color(color.red()) | (Color(color.green()) << 8) | (Color(color.blue()) << 16);
}

// --- Construction -------------------------------------------------------------

namespace {

constexpr int kDesignWidth = 626;
constexpr int kDesignHeight = 418;
constexpr int kStatusBarHeight = 19;

} // namespace

TMain1::TMain1(AgentLink* agent, QWidget* parent) : QMainWindow(parent), m_agent(agent)
{
    setObjectName(QStringLiteral("Main1"));
    // System menu and maximise, no minimise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kaptivus 2000   v5.10 complet - capture d'écran"));
    setWindowIcon(QIcon(QStringLiteral(":/kaptivus32.png")));
    setCursor(Qt::PointingHandCursor);

    buildToolBar();
    buildClientArea();
    buildFileMenu();
    buildOptionsMenu();
    buildHistoryMenu();

    SystemInfo1 = new TSystemInfo(this);
    SystemInfo1->setObjectName(QStringLiteral("SystemInfo1"));
    memoryInfo = [this] {
        return std::pair<quint64, quint64>(SystemInfo1->TotalPhysMemory(), SystemInfo1->AvailPhysMemory());
    };
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(4000);

    // The design's metrics: a narrow 8-point sans serif keeps the captions
    // within the controls' design widths.
    ApplyDesignFont(this);
    fitStatusBarFont();
    monitorCount = [] { return int(QGuiApplication::screens().size()); };
    connectHandlers();
    // The agent's settings binding reaches the controls through Main1.
    if (m_agent)
        m_agent->attachPictureWindow(this);
}

TMain1::~TMain1() = default;

void TMain1::buildSaveFilterTable()
{
    for (size_t i = 0; i < SaveFilterTable.size(); ++i)
        SaveFilterTable[i] =
            kaptivus::files::ui::ToQtFilters(*kaptivus::files::SaveFilterVariant(kaptivus::files::kDefaultExtensions[i]));
}

// --- Anchors --------------------------------------------------------------------

void TMain1::anchor(QWidget* widget, bool stretch, bool bottom)
{
    m_anchored.push_back({widget, true, bottom, stretch, 0, 0});
    setAnchoredGeometry(widget, widget->geometry());
}

void TMain1::setAnchoredGeometry(QWidget* widget, const QRect& rect)
{
    widget->setGeometry(rect);
    const QSize area = widget->parentWidget()->size();
    for (Anchored& a : m_anchored) {
        if (a.widget != widget)
            continue;
        a.rightMargin = area.width() - rect.right() - 1;
        a.bottomMargin = area.height() - rect.bottom() - 1;
    }
}

void TMain1::layoutAnchored()
{
    for (const Anchored& a : m_anchored) {
        const QSize area = a.widget->parentWidget()->size();
        QRect r = a.widget->geometry();
        if (a.right) {
            const int right = area.width() - a.rightMargin - 1;
            if (a.stretch)
                r.setRight(std::max(r.left(), right));
            else
                r.moveRight(right);
        }
        if (a.bottom)
            r.setBottom(std::max(r.top(), area.height() - a.bottomMargin - 1));
        a.widget->setGeometry(r);
    }
}

bool TMain1::eventFilter(QObject* watched, QEvent* event)
{
    if (isSlider(watched)) {
        auto* bar = static_cast<QScrollBar*>(watched);
        if (event->type() == QEvent::KeyPress && sliderKey(bar, static_cast<QKeyEvent*>(event)))
            return true;
        sliderMouseEvent(bar, event);
    }
    if (watched == ClientArea && event->type() == QEvent::Resize)
        layoutAnchored();
    const bool optionBox = watched == CheckBox1 || watched == CheckBox2 || watched == CheckBox3 ||
                           watched == CheckBox4 || watched == CheckBox10 || watched == CheckBox11 ||
                           watched == CheckBox14 || watched == CheckBox15;
    // Queued: the box flips its state in its own release handler, after this filter.
    if (optionBox && event->type() == QEvent::MouseButtonRelease)
        QMetaObject::invokeMethod(this, &TMain1::CheckBox1MouseUp, Qt::QueuedConnection);
    if (watched == Edit3 && event->type() == QEvent::MouseButtonRelease)
        Edit3Click();
    if (watched == Edit7 && event->type() == QEvent::MouseButtonRelease)
        Edit7Click();
    if (copiesBoxEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// --- Form events ------------------------------------------------------------------

void TMain1::EnableMonitorItems(int monitors)
{
    Monitors1->setEnabled(monitors > 1);
    Monitors1->menuAction()->setEnabled(monitors > 1);
    const std::vector<QAction*> items = monitorItems();
    for (int i = 1; i <= 4; ++i)
        items[size_t(i)]->setEnabled(monitors > 1 && monitors <= 4 && i <= monitors);
}

void TMain1::FormCreate()
{
    buildSaveFilterTable();
    Image1->move(0, 0);
    Image1->setToolTip(QStringLiteral("Clic : cache options\r\nCtrl+Clic pour prélever couleur\r\n"
                                      "Shift+Clic prélever couleur cadre"));
    Minimize1->setShortcut(QKeySequence(Qt::Key_Escape));
    if (m_agent)
        m_agent->ResetHotkeyDefaults();

    // Design size first: the client area plus the menu and status bars.
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());
    centreOnScreen();
    m_centredAt = pos();
    setMinimumSize(size());

    ComboBox3->setCurrentIndex(0);
    ComboBox1->setCurrentIndex(0);
    const QString temp = SystemInfo1->TempDirectory();
    OpenPictureDialog1.InitialDir = temp;
    SavePictureDialog1.InitialDir = temp;

    if (m_agent) {
        m_agent->LoadSettings();
        m_agent->RegisterHotkeys();
    }
    if (pos() != m_centredAt)
        m_centredAt.reset(); // a stored place
    CheckBox9->setToolTip(m_agent ? m_agent->footer() : QString());
    fillPrinterList();
    CheckBox7->setToolTip(kaptivus::print::DayFirstDateLine(QDateTime::currentDateTime()));
    UserSystemLine = SystemInfo1->UserAndSystemLine();
    CheckBox8->setToolTip(UserSystemLine);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    // Auto-save button: marked when the timer is to stay off, then the click
    // handler inverts the mark and starts or stops the timer to match.
    const bool autoSave = m_agent && m_agent->autoSaveChecked();
    ToolButton7->setChecked(autoSave);
    ToolButton7Click();
    if (m_agent)
        m_agent->setDirectPrintChecked(DirectPrintNoDialog1->isChecked());
    EnableMonitorItems(monitorCount ? monitorCount() : 1);
    if (HideIcononSystemTray1->isChecked()) {
        if (m_agent)
            m_agent->setHideIconChecked(true);
        if (applyHideIconMode)
            applyHideIconMode(true);
    }
    m_created = true;
}

// By the frame: until the window manager has framed the window, its frame is
// its inside, and the first move that reports the frame centres it again.
void TMain1::centreOnScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize frame = frameGeometry().size();
    move((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2);
}

namespace {

// A stored place, or a monitor unplugged or made smaller since, can leave the
// window partly off screen: it comes back wholly onto its monitor when it fits,
// and else at least with a title bar that the pointer reaches.
void keepOnScreen(QWidget& window)
{
    using kaptivus::platform::ScreenRect;
    QRect frame = window.frameGeometry();
    // Before the window manager first frames the window its title bar is not
    // known yet; the frame it will add is counted in.
    constexpr int kUsualTitleHeight = 24;
    const bool framed = window.geometry().top() > frame.top();
    const int title = framed ? window.geometry().top() - frame.top() : kUsualTitleHeight;
    if (!framed)
        frame.setHeight(frame.height() + kUsualTitleHeight);
    const auto place = kaptivus::platform::reachablePosition(
        ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()}, title, kaptivus::platform::monitors());
    if (place.x != frame.x() || place.y != frame.y()) window.move(place.x, place.y);
}

} // namespace

void TMain1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (frameGeometry().size() == size())
        return;
    if (m_centredAt) {
        const bool untouched = pos() == *m_centredAt;
        m_centredAt.reset();
        if (untouched)
            centreOnScreen();
    }
    placeOnceFramed();
}

// A window the window manager framed in place (its inside kept where it was)
// gets no move event: the first paint, after the frame is on, checks too.
void TMain1::placeOnceFramed()
{
    // The frame's true size is known now: the place is checked once more.
    if (frameGeometry().size() != size() && std::exchange(m_placeWhenFramed, false))
        keepOnScreen(*this);
}

void TMain1::fitToDesktop()
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = frameGeometry();
    if (desktop.width() < frame.left() || desktop.width() < frame.width() || desktop.height() < frame.top() ||
        desktop.height() < frame.height()) {
        const QSize decoration = frame.size() - size();
        setMinimumSize(minimumSize().boundedTo(desktop.size() - decoration));
        resize(desktop.size() - decoration);
        move(0, 0);
    }
}

void TMain1::FormShow()
{
    fitToDesktop();
    keepOnScreen(*this);
    m_placeWhenFramed = frameGeometry().size() == size();
    selectPrinterEntry();
    raise();
    activateWindow();
    m_sizeFieldsDue = true;
    FormPaint();
}

void TMain1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMain1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_sizeFieldsDue = true;
}

// "Impression" is the window's default button: an Enter that no control
// used for itself starts the print job.
void TMain1::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (enter && !(event->modifiers() & chords)) {
        if (BitBtn1->isEnabled())
            BitBtn1->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TMain1::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    placeOnceFramed();
    FormPaint();
}

void TMain1::FormClose()
{
    if (!m_agent)
        return;
    m_agent->SaveSettings();
    m_agent->releaseCaptureGate();
}

void TMain1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept(); // the window only hides; the agent keeps running
}

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
