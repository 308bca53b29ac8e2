// The windows' design font: a sans serif with the metrics of the narrow 8-point
// face the layouts were drawn for, chosen among the families installed.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

// The first installed of the families whose widths match the design's; empty
// when none is (the toolkit's default sans serif then).
QString DesignFontFamily();

// The design family at the given size in points.
QFont DesignFont(int points = 8);

// Sets the design family on the widget and every child (an application style
// sheet keeps fonts from passing from a window to its controls). Sizes and
// weights a control set itself are kept; the others get 8 points.
void ApplyDesignFont(QWidget* window);

// The largest point size, from points down to minimum, at which every text
// fits width pixels in the font (given its family and weight).
int PointSizeToFit(QFont font, const QStringList& texts, int width, int points, int minimum);

// The same for a text wrapped at word boundaries into a box: some families
// run a line taller than the design's face at the same size.
int PointSizeToWrap(QFont font, const QString& text, QSize box, int points, int minimum);
