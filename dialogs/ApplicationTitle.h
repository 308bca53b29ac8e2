// The application's title: the caption of its plain message boxes and the
// product name of the About box. One place, so they cannot drift apart.
#pragma once

#include <QString>

namespace kaptivus::dialogs {

inline QString ApplicationTitle() { return QStringLiteral("Kaptivus2000"); }

} // namespace kaptivus::dialogs
