// The agent's capture flow, top to bottom: a hotkey (or the tray's double
// click) passes the gate, the display is grabbed into CaptureBitmap, the
// picture window's pipeline adjusts it, the route of the hotkey's id takes the
// result (shown, numbered file, clipboard) and the gate is released: at once
// for a file or the clipboard, when the picture window closes for a shown one.
// A capture the desktop refuses stops before the route: the gate opens and
// the user is told why. The grabbing helpers, the pointer and the shutter
// sound follow the flow.
#include "app/Tray.h"

#include "app/Resources.h"
#include "dialogs/ErrorReport.h"
#include "files/PictureFiles.h"
#include "picture/Main.h"
#include "platform/CaptureBackend.h"
#include "platform/MonitorWatcher.h"
#include "platform/Screen.h"
#include "platform/Sound.h"
#include "select/Capturecontrol.h"
#include "select/Rectangle.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <iostream>
#include <sys/stat.h>
#include <utility>

using kaptivus::pixels::PixelBGR;
using kaptivus::platform::ScreenPoint;
using kaptivus::platform::ScreenRect;

namespace {

const QString ClipboardNotice = QStringLiteral(
    "Picture Copied to the ClipBoard\r\ruse Paste from any Application\rto get the Picture into it");

enum class Grab { Desktop, ActiveWindow, Area, Object };
enum class Route { PrintOrShow, NumberedFile, Clipboard };

Grab grabKind(int id) { return static_cast<Grab>((id - 101) / 3); }
Route routeOf(int id) { return static_cast<Route>((id - 101) % 3); }

// A rotation this close to a quarter turn swaps the picture's proportions.
bool nearQuarterTurn(int angle) { return (angle >= 80 && angle <= 100) || (angle >= -100 && angle <= -80); }

const QImage& arrowImage()
{
    EnsureResources();
    static const QImage arrow = QImage(QStringLiteral(":/arrow.xpm")).convertToFormat(QImage::Format_ARGB32);
    return arrow;
}

// The protocol's limit on a window's side; a larger cut is kept to the source.
constexpr int MaxCutSide = 32767;

// The rectangle of the source in the source's own format; what lies outside
// the source is black.
kaptivus::pixels::Picture cutOut(const kaptivus::pixels::Picture& source, ScreenRect rect)
{
    if (rect.width > MaxCutSide || rect.height > MaxCutSide)
        rect = kaptivus::platform::intersected(rect, ScreenRect{0, 0, source.width(), source.height()});
    return source.copyRect(rect.left, rect.top, rect.width, rect.height);
}

// Each non-empty side of the rectangle kept to 0..size of the source; an empty
// side stays empty for the desktop-sides rule.
ScreenRect clippedToSource(ScreenRect rect, int width, int height)
{
    const auto clip = [](int& start, int& length, int size) {
        if (length < 1) return;
        const int64_t end = std::min<int64_t>(int64_t(start) + length, size);
        start = std::clamp(start, 0, size);
        length = static_cast<int>(std::max<int64_t>(0, end - start));
    };
    clip(rect.left, rect.width, width);
    clip(rect.top, rect.height, height);
    return rect;
}

// Where the desktop names no windows to this program, its own chooser picks
// what a window or object capture takes: true when it did (or failed to).
bool chosenByDesktop(kaptivus::pixels::Picture& bitmap, std::string& error)
{
    auto& backend = kaptivus::platform::captureBackend();
    if (backend.knowsWindows()) return false;
    auto grab = backend.grabChosen();
    bitmap = std::move(grab.picture);
    error = std::move(grab.error);
    return true;
}

} // namespace

// --- The flow ---------------------------------------------------------------------

// One capture at a time, none while suspended.
bool TTray1::EnterGate()
{
    if (CaptureBusy || Suspend1->isChecked()) return false;
    CaptureBusy = true;
    return true;
}

void TTray1::HotkeyPressed(int id)
{
    if (EnterGate()) CaptureByHotkey(id);
}

bool TTray1::RequestCapture(int id, kaptivus::platform::OutcomeReply finished)
{
    using kaptivus::platform::Outcome;
    if (id < 101 || id > 112 || !EnterGate()) return false;
    // The caller is answered first; an area or object capture may run a modal loop.
    QTimer::singleShot(0, this, [this, id, finished = std::move(finished)] {
        m_finishAction = finished;
        try {
            CaptureByHotkey(id);
        } catch (const std::exception& error) {
            finishAction(Outcome::Failed, error.what());
            throw;
        } catch (...) {
            finishAction(Outcome::Failed, "an unexpected error stopped the action");
            throw;
        }
        // Each way through the flow tells how it ended; this answers one that does not.
        finishAction(Outcome::Failed, "the action ended without a result");
    });
    return true;
}

void TTray1::finishAction(kaptivus::platform::Outcome outcome, const std::string& reason)
{
    if (const auto finished = std::exchange(m_finishAction, {})) finished(outcome, reason);
}

void TTray1::TrayIcon1DblClick()
{
    // Suspension does not block this path; only a running capture does.
    if (CaptureBusy) return;
    CaptureBusy = true;
    OpenedFromTray = true;
    CaptureByHotkey(101);
}

void TTray1::CaptureByHotkey(int id)
{
    using kaptivus::platform::Outcome;
    if (id < 101 || id > 112 || !Main1) {
        releaseCaptureGate();
        finishAction(Outcome::Failed, "the agent has no picture window");
        return;
    }
    RefreshMonitors();
    CaptureError.clear();
    PlayCaptureSound();
    auto& backend = kaptivus::platform::captureBackend();
    // Where the desktop keeps the pointer to itself, no arrow is drawn rather than one in the wrong place.
    const auto pointer = Main1->IncludeCursor1->isChecked() ? backend.pointerPosition() : std::nullopt;
    const bool withPointer = pointer.has_value();
    if (withPointer) CursorPos = QPoint(pointer->x, pointer->y);
    switch (grabKind(id)) {
    case Grab::Desktop:
        // The picture starts at the desktop rectangle's corner, so the pointer is placed relative to it.
        CursorPos -= QPoint(DesktopRect.left, DesktopRect.top);
        CaptureDesktop();
        break;
    case Grab::ActiveWindow: {
        if (chosenByDesktop(CaptureBitmap, CaptureError)) break;
        const auto window = backend.activeWindow();
        if (Main1->ClientAreaonly1->isChecked())
            CaptureClientArea(window);
        else
            CaptureWindow(window);
        break;
    }
    case Grab::Area:
    case Grab::Object:
        // A cancelled choice ends the action: nothing captured, nothing routed.
        if (!(grabKind(id) == Grab::Area ? CaptureArea() : CaptureObject())) {
            releaseCaptureGate();
            finishAction(Outcome::Cancelled);
            return;
        }
        break;
    }
    if (!CaptureError.empty()) {
        // The gate opens, and the caller hears why, before the box, which waits for the user.
        releaseCaptureGate();
        finishAction(Outcome::Failed, CaptureError);
        ReportCaptureError();
        return;
    }
    if (withPointer) DrawPointer();
    const bool swap = nearQuarterTurn(Main1->ScrollBar9->value());
    const int w = CaptureBitmap.width();
    const int h = CaptureBitmap.height();
    // A numbered file is written before the window makes its image of the
    // picture: the file is what the user waits for.
    const bool fileFirst = routeOf(id) == Route::NumberedFile;
    try {
        if (fileFirst) Main1->AdjustPicture(false, swap ? h : w, swap ? w : h);
        else Main1->ApplyPictureOptions(false, swap ? h : w, swap ? w : h);
    } catch (...) {
        // The error report shows what failed; the next hotkey must still get through.
        releaseCaptureGate();
        throw;
    }
    if (!fileFirst) {
        RouteCapture(id);
        return;
    }
    try {
        RouteCapture(id);
    } catch (...) {
        // The window still gets its image; the save's own error is the one reported.
        try {
            Main1->ShowAdjustedPicture();
        } catch (...) {
        }
        throw;
    }
    Main1->ShowAdjustedPicture();
}

bool TTray1::ReportCaptureError()
{
    if (CaptureError.empty()) return false;
    const QString message = QStringLiteral("Kaptivus 2000 could not capture the screen: %1")
                                .arg(QString::fromStdString(CaptureError));
    CaptureError.clear();
    // Also where nobody watches the screen: an agent started by the session
    // or a compositor binding has its standard error in the session's log.
    std::cerr << "kaptivus2000: " << message.toStdString() << std::endl;
    // As for a failed save: failures while the box is up add no second box.
    static bool boxShown = false;
    if (boxShown) return true;
    boxShown = true;
    kaptivus::dialogs::ReportError(message);
    boxShown = false;
    return true;
}

void TTray1::RefreshMonitors()
{
    if (!m_monitorWatcher || m_monitorWatcher->catchUp()) MonitorsChanged();
}

void TTray1::RouteCapture(int id)
{
    using kaptivus::platform::Outcome;
    switch (routeOf(id)) {
    case Route::NumberedFile:
        SaveNumbered();
        break;
    case Route::Clipboard: {
        // An empty picture puts nothing there, and no notice says otherwise.
        const bool copied = Main1->CopyToClipboard(false);
        if (copied) ShowInfo(ClipboardNotice, 1);
        releaseCaptureGate();
        if (copied) finishAction(Outcome::Done);
        else if (Main1->Image1->image().isNull())
            finishAction(Outcome::Failed, "there was no picture to put on the clipboard");
        else
            finishAction(Outcome::Failed, "the desktop gives no clipboard to a program without a focused window");
        break;
    }
    case Route::PrintOrShow:
        if (DirectPrintNoDialog1->isChecked() && !OpenedFromTray && PrintJob) {
            PrintJob();
            // A print job that leaves the picture window hidden would leave the
            // gate shut with no window to close: every hotkey and the tray's
            // double click would be refused from then on.
            if (!Main1->isVisible()) releaseCaptureGate();
            finishAction(Outcome::Done);
            break;
        }
        // The flags stay set until the picture window is closed.
        if (!Main1->isVisible()) Main1->show();
        Main1->raise();
        Main1->activateWindow();
        finishAction(Outcome::Done);
        break;
    }
}

void TTray1::SaveNumbered()
{
    // The save reports its own success or failure; running out of numbers, or
    // an error it lets through, is reported here, and the gate opens in every case.
    bool failed = false;
    std::function<void()> report;
    std::string target;
    const bool suspended = Suspend1->isChecked();
    try {
        if (!suspended) failed = !saveToFirstFreeNumber(report, target);
    } catch (const std::exception&) {
        failed = true;
    }
    // The gate opens before any box: a box waits for the user, and the
    // hotkeys and the timer must not wait with it. A timer tick that fails
    // while the box is up adds no second box.
    releaseCaptureGate();
    // A report comes only with a failed write; the box alone says why.
    using kaptivus::platform::Outcome;
    if (suspended) finishAction(Outcome::Failed, "the agent is suspended; nothing was saved");
    else if (report && !target.empty()) finishAction(Outcome::Failed, "the picture could not be saved as " + target);
    else if (report || failed) finishAction(Outcome::Failed, "the picture could not be saved");
    else finishAction(Outcome::Done);
    static bool boxShown = false;
    if (boxShown || (!report && !failed)) return;
    boxShown = true;
    if (report) report();
    else kaptivus::dialogs::ReportError(QStringLiteral("The Picture could not be saved !"));
    boxShown = false;
}

bool TTray1::saveToFirstFreeNumber(std::function<void()>& report, std::string& target)
{
    // Any entry holds a number, a dangling link included: a numbered save never
    // writes through or over one.
    const auto exists = [](const std::string& name) {
        struct stat info {};
        return ::lstat(name.c_str(), &info) == 0;
    };
    // Another program may take the free name between the test and the write;
    // the write then refuses it and the count starts again.
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const auto path = kaptivus::files::NumberedSavePath(QFile::encodeName(AutoFolder).toStdString(),
                                                            QFile::encodeName(DefaultFile).toStdString(),
                                                            QFile::encodeName(DefaultExt).toStdString(), exists);
        if (!path) return false;
        target = *path;
        bool nameTaken = false;
        (void)Main1->SavePictureToNewFile(QFile::decodeName(path->c_str()), nameTaken, report);
        if (!nameTaken) return true;
    }
    return false;
}

void TTray1::AutoSaveTick()
{
    // The tick does not shut the gate itself; a hotkey handled while messages
    // are processed below may start a capture, and the save opens the gate again.
    if (CaptureBusy || !Main1) return;
    RefreshMonitors();
    captureAdjustedDesktop();
    // Nothing to save: the user is told why instead.
    if (ReportCaptureError()) return;
    QCoreApplication::processEvents();
    SaveNumbered();
}

void TTray1::PrinttheDesktop1Click()
{
    // The whole virtual desktop replaces a monitor choice until the next one.
    SetDesktopRect(-1);
    if (!PrintJob || !Main1) return;
    captureAdjustedDesktop();
    if (ReportCaptureError()) return;
    PrintJob();
}

void TTray1::captureAdjustedDesktop()
{
    CaptureError.clear();
    CaptureDesktop();
    if (!CaptureError.empty()) return;
    Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
}

void TTray1::setPrintJob(std::function<void()> job)
{
    PrintJob = std::move(job);
    PrinttheDesktop1->setEnabled(bool(PrintJob));
}

// --- Grabbing -----------------------------------------------------------------------

void TTray1::PlayCaptureSound()
{
    if (!Main1 || !Main1->Sound1->isChecked()) return;
    static const QByteArray wave = [] {
        EnsureResources();
        QFile f(QStringLiteral(":/shutter.wav"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    if (wave.isEmpty() || !kaptivus::platform::playWave(wave)) kaptivus::platform::beep();
}

ScreenRect TTray1::withDesktopSides(ScreenRect rect, ScreenPoint sourceOrigin) const
{
    // An empty side takes the desktop rectangle's, seen from the source.
    if (rect.width < 1) {
        rect.left = DesktopRect.left - sourceOrigin.x;
        rect.width = DesktopRect.width;
    }
    if (rect.height < 1) {
        rect.top = DesktopRect.top - sourceOrigin.y;
        rect.height = DesktopRect.height;
    }
    return rect;
}

void TTray1::GrabRect(kaptivus::platform::ScreenRect rect)
{
    CaptureBitmap = {};
    // Lets windows that were just hidden (a menu, the picture window) leave the screen.
    if (!WaitWithGateShut(50)) return;
    rect = withDesktopSides(rect, {0, 0});
    auto grab = kaptivus::platform::captureBackend().grab(rect);
    CaptureBitmap = std::move(grab.picture);
    CaptureError = std::move(grab.error);
}

void TTray1::GrabRect(ScreenRect rect, const kaptivus::pixels::Picture& source, ScreenPoint sourceOrigin)
{
    // The snapshot was taken before the selector showed, so nothing has to
    // leave the screen first.
    CaptureBitmap = cutOut(source, withDesktopSides(rect, sourceOrigin));
}

void TTray1::CaptureDesktop() { GrabRect(DesktopRect); }

bool TTray1::refusedSnapshot(const kaptivus::select::SnapshotWindow& selector)
{
    // A selector that never showed because the desktop gave no snapshot is a
    // failure to report, not the user's cancel.
    if (selector.grabError().empty()) return false;
    CaptureError = selector.grabError();
    return true;
}

bool TTray1::CaptureArea()
{
    Area.Sizes.LastDefinedWidth = CustomW;
    Area.Sizes.LastDefinedHeight = CustomH;
    kaptivus::select::TRectangle1 selector(Area, DesktopRect);
    const bool chosen = selector.exec() == 1;
    CustomW = Area.Sizes.LastDefinedWidth;
    CustomH = Area.Sizes.LastDefinedHeight;
    if (!chosen) return refusedSnapshot(selector);
    const kaptivus::select::AreaRect& a = Area.SelectedArea;
    const kaptivus::pixels::Picture& snapshot = selector.snapshot();
    // Smaller than 16 x 16 (a click, or no drag yet in this run): the whole snapshot.
    const ScreenRect rect = a.Right > a.Left + 15 && a.Bottom > a.Top + 15
                                ? ScreenRect{a.Left, a.Top, a.Right - a.Left, a.Bottom - a.Top}
                                : ScreenRect{0, 0, snapshot.width(), snapshot.height()};
    const ScreenRect desktop = selector.virtualDesktop();
    // The pointer lands where it was: the picture starts at the rectangle's corner.
    CursorPos -= QPoint(desktop.left + rect.left, desktop.top + rect.top);
    GrabRect(rect, snapshot, {desktop.left, desktop.top});
    return true;
}

bool TTray1::CaptureObject()
{
    // No point can be told apart from the desktop behind it: the chooser, without the picker.
    if (chosenByDesktop(CaptureBitmap, CaptureError)) return true;
    kaptivus::select::TCapturecontrol1 picker;
    if (picker.exec() != 1) return refusedSnapshot(picker);
    // Looked up among the windows as they are now; the picker itself is looked through.
    const auto object = kaptivus::platform::captureBackend().objectAt(
        picker.PickedPoint, {static_cast<kaptivus::platform::WindowId>(picker.winId())});
    if (!object.ok()) {
        CaptureError = object.error;
        return true;
    }
    const ScreenRect r = object.frame;
    const ScreenRect desktop = picker.virtualDesktop();
    const kaptivus::pixels::Picture& snapshot = picker.snapshot();
    // An object reaching past the desktop (a window half off screen, a huge
    // scrolled view) is cut to what the snapshot holds, not padded with black.
    const ScreenRect cut = clippedToSource({r.left - desktop.left, r.top - desktop.top, r.width, r.height},
                                           snapshot.width(), snapshot.height());
    CursorPos -= QPoint(desktop.left + cut.left, desktop.top + cut.top);
    GrabRect(cut, snapshot, {desktop.left, desktop.top});
    return true;
}

void TTray1::PictureWindowCapture(bool area)
{
    if (!Main1) return;
    Main1->hide();
    // The hidden window is repainted away before the desktop is frozen.
    QCoreApplication::processEvents();
    if (!WaitWithGateShut(CaptureDelay - 800)) return;
    CaptureError.clear();
    // A cancelled or failed choice leaves the shown picture as it is.
    if ((area ? CaptureArea() : CaptureObject()) && CaptureError.empty())
        Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
    else if (!CaptureError.empty())
        ReportCaptureError();
    Main1->show();
    Main1->raise();
    Main1->activateWindow();
}

void TTray1::CaptureWindow(const kaptivus::platform::WindowRects& window) { grabWindowPart(window, window.frame); }

void TTray1::CaptureClientArea(const kaptivus::platform::WindowRects& window)
{
    grabWindowPart(window, window.client);
}

void TTray1::grabWindowPart(const kaptivus::platform::WindowRects& window, const ScreenRect& part)
{
    if (!window.ok()) {
        CaptureBitmap = {};
        CaptureError = window.error;
        return;
    }
    CursorPos -= QPoint(part.left, part.top);
    GrabRect(part);
}

void TTray1::DrawPointer()
{
    // The program's own arrow, drawn where the pointer was; only its opaque pixels.
    const QImage& arrow = arrowImage();
    for (int y = 0; y < arrow.height(); ++y) {
        const int ty = CursorPos.y() + y;
        if (ty < 0 || ty >= CaptureBitmap.height()) continue;
        const auto* line = reinterpret_cast<const QRgb*>(arrow.constScanLine(y));
        for (int x = 0; x < arrow.width(); ++x) {
            const int tx = CursorPos.x() + x;
            if (qAlpha(line[x]) < 128 || tx < 0 || tx >= CaptureBitmap.width()) continue;
            const QRgb c = line[x];
            CaptureBitmap.setPixel(tx, ty, PixelBGR{static_cast<uint8_t>(qBlue(c)), static_cast<uint8_t>(qGreen(c)),
                                                    static_cast<uint8_t>(qRed(c))});
        }
    }
}

void TTray1::GetPicturefromKaptivus1Click()
{
    if (!WaitWithGateShut(200)) return;
    CaptureError.clear();
    CaptureWindow(kaptivus::platform::captureBackend().activeWindow());
    if (ReportCaptureError()) return;
    Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
    Main1->update();
}
