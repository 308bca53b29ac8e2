// The picture window's design metrics, shared by the files that build and
// fit the window. Window code only.
#pragma once

namespace kaptivus::picture {

// The client area's size in the original design, in logical pixels.
inline constexpr int kDesignWidth = 626;
inline constexpr int kDesignHeight = 418;

} // namespace kaptivus::picture
