// The area selector Rectangle1: the user drags a dotted frame over the frozen
// desktop, or hangs a frame of a preset size from the pointer (right button).
// It writes the chosen rectangle into the caller's AreaSelection and ends with
// result 1 at the first release; Escape ends it with 0. Never includes app/.
#pragma once

#include "select/CustomSize.h"
#include "select/SnapshotWindow.h"

#include <QPoint>

class QAction;
class QLabel;
class QMenu;

namespace kaptivus::select {

// Left and top inclusive, right and bottom exclusive, in snapshot coordinates.
struct AreaRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    friend bool operator==(const AreaRect&, const AreaRect&) = default;
};

// What outlives one selector: the last rectangle and the preset sizes.
struct AreaSelection {
    AreaRect SelectedArea;
    PresetSizes Sizes;
};

class TRectangle1 : public SnapshotWindow {
    Q_OBJECT
public:
    // `desktopRect` bounds the custom sizes.
    TRectangle1(AreaSelection& selection, platform::ScreenRect desktopRect, QWidget* parent = nullptr);
    // With a given snapshot, and the monitors of a per-output selector (tests
    // and measurements).
    TRectangle1(AreaSelection& selection, platform::ScreenRect desktopRect, pixels::Picture snapshot,
                platform::ScreenRect desktop, std::vector<platform::Monitor> monitors = {},
                QWidget* parent = nullptr);

    QLabel* StaticText1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* R1 = nullptr;
    QAction* R2 = nullptr;
    QAction* R3 = nullptr;
    QAction* R4 = nullptr;

    bool FixedSizeMode = false;
    bool AreaDragged = false;

    // The custom size question; an input box unless replaced.
    TextQuestion askText;

    // The handlers, in snapshot coordinates (device pixels).
    void FormMouseDown(Qt::MouseButton button, QPoint at);
    void FormMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint at);
    void FormMouseUp(Qt::MouseButton button);
    void R1Click();
    void R2Click();
    void R3Click();
    void R4Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FormCreate();
    void buildMenu();
    void toggleFrame();
    void updateReadout();
    std::optional<QString> inputBox(const QString& caption, const QString& prompt, const QString& text);

    AreaSelection& m_selection;
    platform::ScreenRect m_desktopRect;
    QPoint m_anchor;
    QPoint m_moving;
    bool m_frameShown = false;
    QAction* m_checked = nullptr; // the entry whose check mark stands
};

} // namespace kaptivus::select
