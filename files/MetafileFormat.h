// Record types and fixed values of the EMF and WMF formats that both the
// writers and the readers use. No Qt, no X11.
#pragma once

#include <cstdint>

namespace kaptivus::files::metafile {

inline constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
inline constexpr uint32_t kEmfVersion = 0x00010000;
inline constexpr uint32_t kEmrHeader = 1;
inline constexpr uint32_t kEmrEof = 14;
inline constexpr uint32_t kEmrStretchDiBits = 81;
inline constexpr uint32_t kEmfHeaderSize = 108; // with the pixel-format and micrometre extensions
inline constexpr uint32_t kEmfBaseHeaderSize = 88;
inline constexpr uint32_t kEmrStretchDiBitsFixedSize = 80;
inline constexpr uint32_t kEmrEofSize = 20;

inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr uint32_t kPlaceableHeaderSize = 22;
inline constexpr uint32_t kWmfHeaderSize = 18;
inline constexpr uint16_t kMetaEof = 0x0000;
inline constexpr uint16_t kMetaSetMapMode = 0x0103;
inline constexpr uint16_t kMetaSetWindowOrg = 0x020B;
inline constexpr uint16_t kMetaSetWindowExt = 0x020C;
inline constexpr uint16_t kMetaStretchDib = 0x0F43;
inline constexpr uint32_t kMetaStretchDibFixedSize = 28;

inline constexpr uint32_t kSrcCopy = 0x00CC0020;
// The reference screen: 96 pixels an inch, 1920 × 1080 pixels on 508 × 285.75 mm.
inline constexpr int kScreenDpi = 96;
inline constexpr int kScreenWidthPixels = 1920;
inline constexpr int kScreenHeightPixels = 1080;
inline constexpr int kScreenWidthMicrometres = 508000;
inline constexpr int kScreenHeightMicrometres = 285750;

} // namespace kaptivus::files::metafile
