// The settings that govern saving, as the picture window and Choose1 reach
// them: pointers to the agent's own variables, so a change takes effect at once.
#pragma once

#include <QString>

namespace kaptivus::files::ui {

struct TSaveSettings {
    QString* AutoFolder = nullptr;
    QString* DefaultFile = nullptr;
    QString* DefaultExt = nullptr;
    bool* Transparent = nullptr;

    bool isBound() const { return AutoFolder && DefaultFile && DefaultExt && Transparent; }
};

} // namespace kaptivus::files::ui
