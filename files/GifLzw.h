// The LZW compression of GIF image data. Standard library only; appends to a
// byte vector, touches no file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kaptivus::files {

// Appends the minimum code size byte, the compressed indices in data
// sub-blocks of at most 255 bytes, and the block terminator. Codes start one
// bit wider than minCodeSize (2 to 8) and grow to 12 bits; a Clear code starts
// a new table whenever the next free code would be 4095. Every index must be
// below 2^minCodeSize.
void AppendGifLzw(std::span<const uint8_t> indices, int minCodeSize, std::vector<uint8_t>& out);

} // namespace kaptivus::files
