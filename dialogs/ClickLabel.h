// A label that reports a left click released over it: the slider labels and
// " Nombre de copie" of the picture window, the About box's links.
#pragma once

#include <QLabel>

class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
