// The picture window's tool bar images, drawn at start instead of stored.
#pragma once

#include <QIcon>

// 0 open, 1 save, 2 paste, 3 copy, 4 edit, 5 area, 6 object, 7 timer,
// 8 printer set-up, 9 print; any other index gives an empty 32 × 32 image.
QIcon MakeToolIcon(int index);
