// The area selector. The frame is inverted straight into the shown picture
// and only its four edges are repainted: a move costs two outline drawings,
// never a repaint of the snapshot.
#include "select/Rectangle.h"

#include "dialogs/InputBox.h"
#include "pixels/InvertedFrame.h"
#include "platform/InputGrab.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

namespace kaptivus::select {

namespace {

// Both corner pixels included, whichever way round they are.
QRect spanned(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

const QString AreaHint = QStringLiteral("Clic droit pour définir les rectangles");

} // namespace

TRectangle1::TRectangle1(AreaSelection& selection, platform::ScreenRect desktopRect, QWidget* parent)
    : SnapshotWindow(parent), m_selection(selection), m_desktopRect(desktopRect)
{
    FormCreate();
}

TRectangle1::TRectangle1(AreaSelection& selection, platform::ScreenRect desktopRect, pixels::Picture snapshot,
                         platform::ScreenRect desktop, std::vector<platform::Monitor> monitors, QWidget* parent)
    : SnapshotWindow(std::move(snapshot), desktop, parent, std::move(monitors)), m_selection(selection),
      m_desktopRect(desktopRect)
{
    FormCreate();
}

void TRectangle1::FormCreate()
{
    setObjectName(QStringLiteral("Rectangle1"));
    setCursor(Qt::CrossCursor);
    setToolTip(AreaHint);
    FixedSizeMode = false;
    AreaDragged = false;

    StaticText1 = makeReadout();
    StaticText1->hide();
    buildMenu();
    askText = [this](const QString& caption, const QString& prompt, const QString& text) {
        return inputBox(caption, prompt, text);
    };
}

void TRectangle1::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto* group = new QActionGroup(PopupMenu1);
    const auto entry = [&](const char* name, const QString& caption) {
        QAction* a = PopupMenu1->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        group->addAction(a);
        return a;
    };
    R1 = entry("R1", QStringLiteral("Rectangle 16 x 16 (petite icône)"));
    R2 = entry("R2", QStringLiteral("Rectangle 32 x 32 (icône normale)"));
    R3 = entry("R3", QStringLiteral("Définir mon rectangle"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    R4 = entry("R4", QStringLiteral("Last Defined = %1 x %2")
                         .arg(m_selection.Sizes.LastDefinedWidth)
                         .arg(m_selection.Sizes.LastDefinedHeight));
    R2->setChecked(true);
    m_checked = R2;
    connect(R1, &QAction::triggered, this, &TRectangle1::R1Click);
    connect(R2, &QAction::triggered, this, &TRectangle1::R2Click);
    connect(R3, &QAction::triggered, this, &TRectangle1::R3Click);
    connect(R4, &QAction::triggered, this, &TRectangle1::R4Click);
}

void TRectangle1::toggleFrame()
{
    pixels::InvertDottedFrame({reinterpret_cast<uint32_t*>(m_image.bits()), m_image.width(), m_image.height(),
                               static_cast<int>(m_image.bytesPerLine() / 4)},
                              {m_anchor.x(), m_anchor.y(), m_moving.x(), m_moving.y()});
    m_frameShown = !m_frameShown;
    const QRect box = spanned(m_anchor, m_moving);
    updateSnapshotRect(QRect(box.left(), box.top(), box.width(), 1));
    updateSnapshotRect(QRect(box.left(), box.bottom(), box.width(), 1));
    updateSnapshotRect(QRect(box.left(), box.top(), 1, box.height()));
    updateSnapshotRect(QRect(box.right(), box.top(), 1, box.height()));
}

void TRectangle1::updateReadout()
{
    // In preset mode the readout is neither shown nor changed.
    if (FixedSizeMode) return;
    const int w = std::abs(m_moving.x() - m_anchor.x()) + 1;
    const int h = std::abs(m_moving.y() - m_anchor.y()) + 1;
    StaticText1->setText(QStringLiteral("%1 x %2").arg(w).arg(h));
    // Just outside the frame, at the anchor's corner.
    placeReadout(StaticText1, m_anchor, {2, m_moving.y() < m_anchor.y() ? 2 : -20});
}

void TRectangle1::FormMouseDown(Qt::MouseButton button, QPoint at)
{
    // A second button while a frame shows: the frame goes before the anchor moves.
    if (m_frameShown) toggleFrame();
    m_anchor = m_moving = at;
    setToolTip(QString());
    if (button == Qt::RightButton) {
        releaseInput();
        adoptPopup(PopupMenu1);
        PopupMenu1->exec(globalPoint(at));
        FixedSizeMode = true;
        retakeInput();
    } else if (button == Qt::LeftButton) {
        toggleFrame();
        updateReadout();
        if (!FixedSizeMode) StaticText1->show();
    }
}

void TRectangle1::FormMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint at)
{
    if (buttons != Qt::LeftButton || (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    AreaDragged = true;
    if (m_frameShown) toggleFrame();
    m_moving = at;
    // The preset frame hangs to the upper left of the pointer, whose pixel is its bottom-right corner.
    if (FixedSizeMode) m_anchor = at - QPoint(m_selection.Sizes.FixedWidth, m_selection.Sizes.FixedHeight);
    updateReadout();
    toggleFrame();
}

void TRectangle1::FormMouseUp(Qt::MouseButton button)
{
    // Every right press opens the menu; its release is the menu's.
    if (button == Qt::RightButton) return;
    if (AreaDragged) {
        if (m_frameShown) toggleFrame();
        const QRect box = spanned(m_anchor, m_moving);
        m_selection.SelectedArea = {box.left(), box.top(), box.right() + 1, box.bottom() + 1};
        AreaDragged = false;
    }
    done(1);
}

void TRectangle1::mousePressEvent(QMouseEvent* event) { FormMouseDown(event->button(), snapshotPoint(event)); }

void TRectangle1::mouseMoveEvent(QMouseEvent* event)
{
    FormMouseMove(event->buttons(), event->modifiers(), snapshotPoint(event));
}

void TRectangle1::mouseReleaseEvent(QMouseEvent* event) { FormMouseUp(event->button()); }

void TRectangle1::R1Click()
{
    R1->setChecked(true);
    m_checked = R1;
    m_selection.Sizes.FixedWidth = m_selection.Sizes.FixedHeight = 16;
}

void TRectangle1::R2Click()
{
    R2->setChecked(true);
    m_checked = R2;
    m_selection.Sizes.FixedWidth = m_selection.Sizes.FixedHeight = 32;
}

void TRectangle1::R3Click()
{
    // The former entry keeps its check mark unless both sizes are accepted.
    m_checked->setChecked(true);
    // Bounded by the chosen desktop's own size (its right and bottom edges are
    // that size only when it starts at the screen origin).
    const int maxWidth = m_desktopRect.width - 10;
    const int maxHeight = m_desktopRect.height - 10;
    if (AskCustomSize(m_selection.Sizes, maxWidth, maxHeight, askText)) {
        R3->setChecked(true);
        m_checked = R3;
    }
}

void TRectangle1::R4Click()
{
    R4->setChecked(true);
    m_checked = R4;
    m_selection.Sizes.FixedWidth = m_selection.Sizes.LastDefinedWidth;
    m_selection.Sizes.FixedHeight = m_selection.Sizes.LastDefinedHeight;
}

std::optional<QString> TRectangle1::inputBox(const QString& caption, const QString& prompt, const QString& text)
{
    // Unmanaged like the selector: a managed window would open below it. It
    // takes the keyboard itself for the same reason.
    // On Wayland the box belongs to the output window the user works in: the
    // compositor shows and focuses a dialog above a full-screen window only
    // when it is that window's own.
    QInputDialog box(inputWindow(), Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint);
    dialogs::SetUpInputBox(box, caption, prompt, text);
    if (auto* edit = box.findChild<QLineEdit*>()) {
        edit->setMaxLength(255);
        edit->selectAll();
    }
    releaseInput();
    QTimer::singleShot(0, &box, [&box] { platform::takeInput(box.windowHandle()); });
    const bool accepted = box.exec() == QDialog::Accepted;
    retakeInput();
    if (!accepted) return std::nullopt;
    return box.textValue();
}

} // namespace kaptivus::select
