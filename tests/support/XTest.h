// X helpers for tests: a private X connection, key presses injected through
// XTest, lock-key state, window lookups and properties, pictures put on screen,
// pixels read back, and waiting for a condition with a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kaptivus::test {

using Window = uint32_t;

// Modifier flags, the same numbers as the hotkey tables: Alt 1, Ctrl 2, Shift 4.
enum KeyModifier : unsigned { NoModifier = 0, Alt = 1, Ctrl = 2, Shift = 4 };

// A few keysyms tests press (X keysym numbers).
namespace keysym {
inline constexpr uint32_t Print = 0xff61;
inline constexpr uint32_t F1 = 0xffbe;
inline constexpr uint32_t F5 = 0xffc2;
inline constexpr uint32_t F7 = 0xffc4;
inline constexpr uint32_t F8 = 0xffc5;
inline constexpr uint32_t F9 = 0xffc6;
inline constexpr uint32_t F10 = 0xffc7;
inline constexpr uint32_t F11 = 0xffc8;
inline constexpr uint32_t F12 = 0xffc9;
inline constexpr uint32_t KP_0 = 0xffb0;
inline constexpr uint32_t KP_Multiply = 0xffaa;
inline constexpr uint32_t Home = 0xff50;
inline constexpr uint32_t Down = 0xff54;
inline constexpr uint32_t Tab = 0xff09;
inline constexpr uint32_t Prior = 0xff55;
inline constexpr uint32_t Return = 0xff0d;
inline constexpr uint32_t Escape = 0xff1b;
inline constexpr uint32_t a = 0x0061;
} // namespace keysym

// Runs the Qt event loop (when there is an application) in short slices until
// the predicate holds or the timeout passes. Returns the predicate's last value.
bool waitUntil(
    const std::function<bool()>& predicate, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Whether $DISPLAY can be opened; tests that need X skip themselves when not.
bool haveDisplay();

// Round trip on the helper connection: everything sent before has been processed.
void sync();

// Presses and releases the keysym's first key while holding the modifiers,
// then syncs. Each press first waits until some window has the input focus.
// False when no key carries the keysym, or when the focus stays None.
bool pressKey(uint32_t keysym, unsigned modifiers = NoModifier);
// Only the press or only the release (for holding a key down).
bool keyDown(uint32_t keysym);
bool keyUp(uint32_t keysym);
// Presses and releases one key code, then syncs.
void pressKeycode(uint8_t keycode);
// True once some window has the input focus (a press with none is thrown away).
bool waitForKeyboardFocus();
// The server lends the core keyboard the mapping of whichever device typed
// last. The first XTest key of a session switches it to the XTest device and
// tells every client of a new keyboard mapping; a hotkey pressed as that first
// key never reaches the client that grabbed it. A key without any keysym,
// pressed first, makes the switch before it matters. Any key or button still
// held from an earlier test is released first.
void useTestKeyboard();
// Every key code that carries the keysym.
std::vector<uint8_t> keycodesOf(uint32_t keysym);
// Reads the keyboard mapping again, after another program changed it (setxkbmap).
void refreshKeyboardMapping();
// A key code that carries no keysym at all (0 when there is none).
uint8_t unusedKeycode();
// Makes the key code produce the keysym (0: nothing); the server tells every
// client with a MappingNotify.
bool setKeycodeKeysym(uint8_t keycode, uint32_t keysym);

bool numLockOn();
bool capsLockOn();
// Toggles the lock key when its state differs; true once the state is as asked.
bool setNumLock(bool on);
bool setCapsLock(bool on);

// Moves the pointer (XTest) and presses/releases mouse buttons.
void movePointer(int x, int y);
void clickButton(int button = 1);
void buttonDown(int button = 1);
void buttonUp(int button = 1);
// The window that has the keyboard focus (0 for none, 1 for PointerRoot).
Window inputFocus();
// True while another client holds an active pointer grab (a selector taking input).
bool pointerGrabbedElsewhere();
// The same for the keyboard.
bool keyboardGrabbedElsewhere();

Window rootWindow();
// _NET_ACTIVE_WINDOW of the root, 0 when none.
Window activeWindow();
// The first window, depth first from the root, whose _NET_WM_NAME or WM_NAME equals the title.
Window findWindowByTitle(const std::string& title);
Window waitForWindowByTitle(
    const std::string& title, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
Window parentOf(Window window);
// The window owning the selection ("CLIPBOARD", "CLIPBOARD_MANAGER"), or 0.
Window selectionOwner(const std::string& selection);
// Leaves the selection without an owner, as a program that held it and went
// would: what comes after it can then only be what a later owner put there.
bool clearSelection(const std::string& selection);
// Children bottom to top.
std::vector<Window> childrenOf(Window window);
bool windowExists(Window window);
bool isViewable(Window window);

// Property values; empty or nothing when absent.
std::string stringProperty(Window window, const std::string& name);
std::vector<uint32_t> cardinalProperty(Window window, const std::string& name);
std::optional<Window> windowProperty(Window window, const std::string& name);

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};
// Geometry of the window's inside in root coordinates (empty when it is gone).
Rect windowRootGeometry(Window window);
// The same with the window's own border around it.
Rect windowBorderBox(Window window);
// The border box of the window's ancestor just under the root: the window
// manager's frame of a managed window, the window itself when unmanaged.
Rect windowFrameBox(Window window);
// Maps or unmaps the window, as its own client would.
void setMapped(Window window, bool mapped);
Rect screenSize();

// Colours here are 0xRRGGBB, as X TrueColor pixels of depth 24.
using ColourAt = std::function<uint32_t(int x, int y)>;

// Reads the root window's pixels as 0xRRGGBB rows (plain GetImage, independent
// of the program's own grab). Parts outside the screen are not allowed.
std::vector<uint32_t> readScreen(const Rect& rect);
uint32_t screenPixel(int x, int y);

// An override-redirect window above everything, showing a picture; the X
// server paints it from a background pixmap, so nothing has to answer Expose.
// Gone when the object is destroyed.
class PictureWindow {
public:
    PictureWindow(const Rect& rect, const ColourAt& colourAt);
    ~PictureWindow();
    PictureWindow(const PictureWindow&) = delete;
    PictureWindow& operator=(const PictureWindow&) = delete;
    Window id() const { return m_window; }

private:
    Window m_window = 0;
    uint32_t m_pixmap = 0;
};

// Paints a rectangle straight onto the screen, over whatever windows are there,
// without telling them (their content is stale until they are exposed).
void scribbleOnScreen(const Rect& rect, uint32_t colour);

// Sets the root window's background to the picture (tiled from 0,0) and clears it.
void putPictureOnRoot(int width, int height, const ColourAt& colourAt);

// A managed top-level window with a title and a plain background colour,
// framed by the window manager. waitForManaged() waits for its frame.
class TestWindow {
public:
    TestWindow(const std::string& title, const Rect& rect, uint32_t colour = 0x3060c0);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    Window id() const { return m_window; }
    // Waits until the window manager has reparented it, set WM_STATE and mapped it.
    bool waitForManaged(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Asks the window manager to activate it and waits until it is _NET_ACTIVE_WINDOW.
    bool activate(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Adds an unmanaged child window (a "control") at x, y inside the window.
    Window addChild(const Rect& rect, uint32_t colour);

private:
    Window m_window = 0;
};

// A second client that grabs a key combination on the root window (to stand
// for another program holding a hotkey). Released when destroyed.
class ForeignKeyGrab {
public:
    ForeignKeyGrab(uint32_t keysym, unsigned modifiers);
    ~ForeignKeyGrab();
    ForeignKeyGrab(const ForeignKeyGrab&) = delete;
    ForeignKeyGrab& operator=(const ForeignKeyGrab&) = delete;
    bool isGrabbed() const { return m_grabbed; }

private:
    struct Connection;
    Connection* m_connection = nullptr;
    bool m_grabbed = false;
};

// Runs a command (no shell) and waits for it; its exit code, or -1.
int runProgram(const std::vector<std::string>& argv);

} // namespace kaptivus::test
