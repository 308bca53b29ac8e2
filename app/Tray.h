// The agent: the application's main window Tray1, owner of the hotkeys, the
// tray icon and its menu, the capture bitmap and the settings record.
#pragma once

#include "picture/AgentLink.h"
#include "pixels/Picture.h"
#include "platform/CommandChannel.h"
#include "platform/Geometry.h"
#include "select/Rectangle.h"

#include <QMenu>
#include <QPoint>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QContextMenuEvent;
class TMain1;
class TInfo1;
class TTrayIcon;

class QEventLoop;

namespace kaptivus::config {
class RegistryStore;
}

namespace kaptivus::platform {
class HotkeyService;
class MonitorWatcher;
enum class HotkeyStatus;
struct WindowRects;
}

namespace kaptivus::platform::portal {
class GlobalShortcuts;
}

namespace kaptivus::select {
class SnapshotWindow;
}

class TTray1 : public QWidget, public AgentLink {
    Q_OBJECT
public:
    explicit TTray1(QWidget* parent = nullptr);
    ~TTray1() override;

    // The other long-lived windows, set by main() after they are created.
    TMain1* Main1 = nullptr;
    TInfo1* Info1 = nullptr;

    // Hotkey tables, index = id - 101.
    std::array<int32_t, 12> HotkeyKeys{};
    std::array<int32_t, 12> HotkeyModifiers{};
    std::array<int32_t, 12> HotkeyKeyIndex{};
    std::array<int32_t, 12> HotkeyModifierIndex{};

    bool CaptureBusy = false;
    bool OpenedFromTray = false;
    kaptivus::pixels::Picture CaptureBitmap;
    kaptivus::platform::ScreenRect DesktopRect;
    QPoint CursorPos;

    // Agent variables fed by the settings.
    bool Transparent = false;
    int CaptureDelay = 1000;
    int TimerDelay = 30;
    QString AutoFolder;
    QString Footer = QStringLiteral("Kaptivus 2000 Version 5.10");
    QString DefaultFile = QStringLiteral("MyPicture");
    QString Editor;
    QString DefaultExt = QStringLiteral(".GIF");
    QString Printer = QStringLiteral("Default Printer");
    int CustomW = 64; // LastDefinedWidth of the area selector
    int CustomH = 64; // LastDefinedHeight
    int HistoryCount = 0;
    // The area selector's rectangle and preset sizes, kept between selectors.
    kaptivus::select::AreaSelection Area;

    // Tray menu and its items (design names).
    TTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Suspend1 = nullptr;
    QAction* PrinttheDesktop1 = nullptr;
    QAction* About1 = nullptr;
    QAction* StopTimer1 = nullptr;
    QAction* HideIcononSystemTray1 = nullptr;
    QAction* DirectPrintNoDialog1 = nullptr;
    QAction* CleanupRegistryandresetconfiguartion1 = nullptr;
    QAction* Exit1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;

    static QIcon ProgramIcon();

    // AgentLink: what the picture window asks of the agent.
    void attachPictureWindow(TMain1* window) override { Main1 = window; }
    const kaptivus::pixels::Picture& captureBitmap() const override { return CaptureBitmap; }
    void replaceCapture(kaptivus::pixels::Picture picture) override { CaptureBitmap = std::move(picture); }
    void LoadSettings() override;
    void SaveSettings() override;
    void ResetHotkeyDefaults() override;
    void RegisterHotkeys() override;
    void UnregisterHotkeys() override;
    void releaseCaptureGate() override { CaptureBusy = OpenedFromTray = false; }
    void setSuspended(bool suspended) override;
    bool SetDesktopRect(int index) override;
    void setCaptureDelay(int milliseconds) override { CaptureDelay = milliseconds; }
    int timerDelay() const override { return TimerDelay; }
    void setTimerDelay(int seconds) override { TimerDelay = seconds; }
    bool autoSaveChecked() const override;
    void setAutoSaveChecked(bool on) override;
    void setDirectPrintChecked(bool on) override;
    void setHideIconChecked(bool on) override;
    void ShowInfo(const QString& text, int seconds) override;
    QString footer() const override { return Footer; }
    void setFooter(const QString& text) override { Footer = text; }
    QString printer() const override { return Printer; }
    void setPrinter(const QString& name) override { Printer = name; }
    QString editor() const override { return Editor; }
    // What the last registration made of the action's combination (index = id - 101).
    kaptivus::platform::HotkeyStatus HotkeyStatusOf(int index) const;
    // On a Wayland desktop the compositor owns every key binding: the agent
    // grabs none (not even through XWayland); it asks the desktop for them
    // through the GlobalShortcuts portal where one is offered, and is reached
    // by --capture otherwise.
    static bool DesktopOwnsKeys();
    // The desktop's shortcut service, where the desktop owns the keys (else null).
    kaptivus::platform::portal::GlobalShortcuts* desktopShortcuts() const { return m_portalKeys; }
    // The hotkey dialog on the agent's tables, modal.
    void DefineHotkeys(QWidget* parent);
    // An action asked for from outside (the command line): the hotkey's gate,
    // then the capture once the caller has its answer, and `finished` once the
    // action has ended. False when the gate is closed.
    bool RequestCapture(int id, kaptivus::platform::OutcomeReply finished = {});
    void setEditor(const QString& path) override { Editor = path; }
    void PasteFromClipboard() override;

    // The capture of a hotkey or tray double click, with CaptureBusy already set.
    virtual void CaptureByHotkey(int id);
    // Saves the shown picture to the first free numbered name, then opens the gate.
    void SaveNumbered();
    // One tick of the auto-save timer: the desktop, adjusted, to a numbered file.
    void AutoSaveTick();
    // The print job on the shown picture (the picture window's "Impression"),
    // run without showing the window: by the print-or-show route when direct
    // printing is on, and by " I&mprimer le bureau", which is offered only once
    // a job is set. Until then the route shows the picture window.
    std::function<void()> PrintJob;
    void setPrintJob(std::function<void()> job);
    // The grab of a rectangle of the display into CaptureBitmap; when the
    // desktop gives none, CaptureBitmap is empty and CaptureError says why.
    void GrabRect(kaptivus::platform::ScreenRect rect);
    void CaptureDesktop();
    // The window's frame, or its client area; CaptureError when it is not known.
    void CaptureWindow(const kaptivus::platform::WindowRects& window);
    void CaptureClientArea(const kaptivus::platform::WindowRects& window);
    // The frame or the client area of the window; CaptureError when the window is not known.
    void grabWindowPart(const kaptivus::platform::WindowRects& window, const kaptivus::platform::ScreenRect& part);
    // Why the last capture has no picture (the desktop refused the grab or
    // the window list); empty when nothing failed.
    std::string CaptureError;
    // Tells the user what CaptureError says (once for a burst of failures)
    // and clears it; true when there was a failure to tell. The gate is the caller's.
    bool ReportCaptureError();
    // The grab of a rectangle of a selector's snapshot, whose top-left pixel
    // lies at `sourceOrigin` on the screen.
    void GrabRect(kaptivus::platform::ScreenRect rect, const kaptivus::pixels::Picture& source,
                  kaptivus::platform::ScreenPoint sourceOrigin);
    // The whole desktop rectangle grabbed and run through the picture options.
    void captureAdjustedDesktop();
    // A rectangle whose empty sides are filled from DesktopRect, in the
    // coordinates of a source whose top-left pixel lies at `sourceOrigin`.
    kaptivus::platform::ScreenRect withDesktopSides(kaptivus::platform::ScreenRect rect,
                                                    kaptivus::platform::ScreenPoint sourceOrigin) const;
    // The area selector and the object picker; false when the user cancelled
    // (CaptureBitmap is then as it was).
    virtual bool CaptureArea();
    virtual bool CaptureObject();
    // For a selector closed without a choice: true, with CaptureError set, when
    // it never showed because the desktop gave no snapshot.
    bool refusedSnapshot(const kaptivus::select::SnapshotWindow& selector);
    // "Zone" and "Objet" of the picture window.
    void PictureWindowCapture(bool area) override;
    // The monitors were added, removed or rearranged.
    void MonitorsChanged();
    // Before each capture that uses the monitor choice: the monitors read
    // again where nothing watches them (a Wayland session), or where the
    // watcher has news not yet acted on.
    void RefreshMonitors();
    void PlayCaptureSound();
    void GetPicturefromKaptivus1Click();
    // Icon removed and the small window shown, or the other way round.
    void ApplyHideIconMode(bool hidden);
    // Ends the program without closing the picture window (so without writing settings).
    void QuitAgent();
    // Quits like " &Quitter" on a signal (the session ending): what goes wrong is
    // told on the standard error, never in a box that waits for a click, and the
    // program ends in any case (exit code 1 when the settings could not be written).
    void QuitBySignal();
    bool QuittingBySignal() const { return m_quittingBySignal; }
    int SignalExitCode() const { return m_settingsUnwritten ? 1 : 0; }
    // Waits without blocking the event loop, with the capture gate shut meanwhile,
    // so that no capture starts inside another's wait while the agent still
    // answers its menu and signals. False when the agent is ending.
    bool WaitWithGateShut(int milliseconds);

public slots:
    void HotkeyPressed(int id);
    void TrayIcon1DblClick();
    void Open1Click();
    void Suspend1Click();
    void StopTimer1Click();
    void HideIcononSystemTray1Click();
    void DirectPrintNoDialog1Click();
    void PrinttheDesktop1Click();
    void About1Click();
    void CleanupRegistryandresetconfiguartion1Click();
    void Exit1Click();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildMenu();
    void buildWindow();
    void FormCreate();
    void FormDestroy();
    void DrawPointer();
    void RouteCapture(int id);
    // One capture at a time, none while suspended; sets CaptureBusy when it lets one in.
    bool EnterGate();
    // The tray tip's list of actions whose combination could not be taken.
    void ShowHotkeyRefusals();
    // `target`: the name last written, or tried.
    bool saveToFirstFreeNumber(std::function<void()>& report, std::string& target);
    // Tells the command line that asked for the running action how it ended;
    // nothing when no one asked or it was told already.
    void finishAction(kaptivus::platform::Outcome outcome, const std::string& reason = {});
    kaptivus::platform::OutcomeReply m_finishAction;
    // Writes the whole record through the store; a failure is reported to the user.
    void writeSettings(kaptivus::config::RegistryStore& store);

    std::unique_ptr<kaptivus::platform::HotkeyService> m_hotkeys;
    kaptivus::platform::portal::GlobalShortcuts* m_portalKeys = nullptr;
    // Binds the tables' actions with the desktop's shortcut service.
    void bindDesktopShortcuts();
    void desktopShortcutActivated(const QString& id);
    kaptivus::platform::MonitorWatcher* m_monitorWatcher = nullptr;
    int m_desktopIndex = -1; // the argument of the last SetDesktopRect that applied
    bool m_destroyed = false;
    bool m_keepSettingsFile = false; // read only in part, and not yet copied aside
    bool m_quittingBySignal = false;
    int m_settingsSaves = 0; // calls of SaveSettings so far
    bool m_settingsUnwritten = false; // quitting on a signal, the settings could not be written
    std::vector<QEventLoop*> m_waits; // the waits running now, innermost last
};
