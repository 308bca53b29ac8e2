// The information window Info1: a small stay-on-top notice that hides itself
// after a number of seconds. It never blocks the caller and never asks anything.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QString>

class QFrame;
class QKeyEvent;
class TTimer;

// The message label: centred lines from the top, wrapped at word boundaries and,
// for a word wider than the label (a long path), anywhere. What does not fit
// is cut at the bottom; the label never grows.
class TInfoLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TInfo1 : public QDialog {
    Q_OBJECT
public:
    explicit TInfo1(QWidget* parent = nullptr);

    // Shows text for the given number of seconds and returns at once. A second
    // call with the same seconds while a countdown runs only replaces the text;
    // a different number restarts the countdown; 0 never hides by itself.
    void ShowInfo(const QString& text, int seconds);

    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel1 = nullptr;
    TInfoLabel* Label1 = nullptr;
    TTimer* Timer1 = nullptr;
    TTimer* Timer2 = nullptr;

public slots:
    void FormActivate();
    void FormKeyPress(QChar key);
    void Timer1Timer();
    void Timer2Timer();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void centreOnScreen();
    void setTakesFocus(bool takes);

    // The program's window that was in front when a notice took the keyboard;
    // it gets the keyboard back when the notice goes.
    QPointer<QWidget> m_returnFocusTo;
};

namespace kaptivus::dialogs {
// Callers break lines with CR (code 13) or CR LF; the label breaks at LF only.
QString NormaliseLineBreaks(const QString& text);
}
