// Signatures of the picture types the program reads.
#include "files/FileSignature.h"

#include "files/MetafileFormat.h"

#include <cstring>

namespace kaptivus::files {

namespace {

uint32_t Le(Bytes head, size_t at, size_t size)
{
    uint32_t word = 0;
    for (size_t i = 0; i < size && at + i < head.size(); ++i)
        word |= static_cast<uint32_t>(head[at + i]) << (8 * i);
    return word;
}

bool StartsWith(Bytes head, const void* signature, size_t size)
{
    return head.size() >= size && std::memcmp(head.data(), signature, size) == 0;
}

bool LooksLike(PictureType type, Bytes head)
{
    static constexpr uint8_t kPng[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    static constexpr uint8_t kJpeg[2] = { 0xFF, 0xD8 };
    switch (type) {
    case PictureType::Bmp:
        return StartsWith(head, "BM", 2);
    case PictureType::Gif:
        return StartsWith(head, "GIF", 3);
    case PictureType::Jpeg:
        return StartsWith(head, kJpeg, sizeof kJpeg);
    case PictureType::Png:
        return StartsWith(head, kPng, sizeof kPng);
    case PictureType::Ico:
        return head.size() >= 6 && Le(head, 0, 2) == 0 && (Le(head, 2, 2) == 1 || Le(head, 2, 2) == 2);
    // The header record comes first and carries " EMF" at byte 40.
    case PictureType::Emf:
        return head.size() >= 44 && Le(head, 0, 4) == metafile::kEmrHeader
            && Le(head, 40, 4) == metafile::kEmfSignature;
    case PictureType::Wmf:
        // A placeable header, or the plain header: memory or disk type, 9 words long.
        return Le(head, 0, 4) == metafile::kPlaceableKey
            || (head.size() >= 4 && (Le(head, 0, 2) == 1 || Le(head, 0, 2) == 2)
                && Le(head, 2, 2) == metafile::kWmfHeaderSize / 2);
    case PictureType::Unknown:
        break;
    }
    return false;
}

// The type as it reads after "not ".
const char* TypeName(PictureType type)
{
    switch (type) {
    case PictureType::Bmp:
        return "a BMP";
    case PictureType::Gif:
        return "a GIF";
    case PictureType::Jpeg:
        return "a JPEG";
    case PictureType::Png:
        return "a PNG";
    case PictureType::Ico:
        return "an icon";
    case PictureType::Emf:
        return "an EMF";
    case PictureType::Wmf:
        return "a WMF";
    case PictureType::Unknown:
        break;
    }
    return "a picture";
}

} // namespace

std::string SignatureRefusal(PictureType type, Bytes head)
{
    if (LooksLike(type, head)) return {};
    return std::string("not ") + TypeName(type) + " file";
}

} // namespace kaptivus::files
