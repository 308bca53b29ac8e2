// What the picture window asks of the resident agent that owns it. The agent
// (in app/) implements this; the picture window never sees the agent's class,
// so the dependency runs one way: the agent drives the window, the window only
// reports what the user did and reads the few agent values it shows.
#pragma once

#include "pixels/Picture.h"

#include <QString>

class TMain1;

class AgentLink {
public:
    virtual ~AgentLink() = default;

    // The picture window made for this agent announces itself.
    virtual void attachPictureWindow(TMain1* window) = 0;

    // The last capture (or opened file): the pipeline's source.
    virtual const kaptivus::pixels::Picture& captureBitmap() const = 0;

    // A picture read from a file becomes the capture.
    virtual void replaceCapture(kaptivus::pixels::Picture picture) = 0;

    // Settings and hotkeys.
    virtual void ResetHotkeyDefaults() = 0;
    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    virtual void RegisterHotkeys() = 0;
    virtual void UnregisterHotkeys() = 0;

    // The picture window closed: a capture shown there is over, so the next
    // hotkey gets through.
    virtual void releaseCaptureGate() = 0;
    // The window's " Suspendre" item: the tray twin follows, hotkeys are given
    // back while suspended and the gate stays shut.
    virtual void setSuspended(bool suspended) = 0;

    // -1: the whole virtual desktop; 0..3: that monitor. False when the monitor does not exist.
    virtual bool SetDesktopRect(int index) = 0;
    virtual void setCaptureDelay(int milliseconds) = 0;
    virtual int timerDelay() const = 0;
    virtual void setTimerDelay(int seconds) = 0;

    // The tray menu's twins of the window's check items.
    virtual bool autoSaveChecked() const = 0;
    virtual void setAutoSaveChecked(bool on) = 0;
    virtual void setDirectPrintChecked(bool on) = 0;
    virtual void setHideIconChecked(bool on) = 0;

    // The short notice window (a saved file, a copy to the clipboard).
    virtual void ShowInfo(const QString& text, int seconds) = 0;

    // Values the window shows in hints.
    virtual QString footer() const = 0;
    virtual void setFooter(const QString& text) = 0;
    virtual QString printer() const = 0;
    virtual void setPrinter(const QString& name) = 0;
    virtual QString editor() const = 0;
    virtual void setEditor(const QString& path) = 0;

    // The clipboard's picture becomes the capture and is shown, or the user is
    // told there is none.
    virtual void PasteFromClipboard() = 0;
};
