// The program's picture for the information window and the About box: the
// application's icon when one is set, else a small camera drawn here.
#pragma once

#include <QPixmap>
#include <QSize>

namespace kaptivus::dialogs {
QPixmap ProgramPicture(QSize size);
}
