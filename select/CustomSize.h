// The questions of the area selector's "own rectangle" entry: a width, then a
// height, each asked again until it is a number within its bounds or the user
// cancels. No window of its own: the question is asked through a callback.
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace kaptivus::select {

// The sizes that outlive one area selector.
struct PresetSizes {
    int FixedWidth = 32;
    int FixedHeight = 32;
    int LastDefinedWidth = 64;
    int LastDefinedHeight = 64;
};

// Asks one question (caption, prompt, pre-filled text); nothing on Cancel.
using TextQuestion = std::function<std::optional<QString>(const QString&, const QString&, const QString&)>;

// True when both sizes were accepted. A number is taken into FixedWidth (or
// FixedHeight) as soon as it is entered, in bounds or not; LastDefined* only
// when it is within 16..maxWidth (16..maxHeight).
bool AskCustomSize(PresetSizes& sizes, int maxWidth, int maxHeight, const TextQuestion& ask);

} // namespace kaptivus::select
