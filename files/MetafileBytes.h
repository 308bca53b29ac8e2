// Little-endian fields of metafile records: a bounds-checked view for reading
// untrusted records and a builder for writing them. No Qt, no X11.
#pragma once

#include "files/Codec.h"
#include "files/Dib.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace kaptivus::files::metafile {

// One record's bytes. A field that lies (partly) outside reads as 0, so a
// short record can never make a player read past it; players still check
// the sizes they rely on, to skip records that are too short to mean anything.
class RecordView {
public:
    RecordView() = default;
    explicit RecordView(Bytes bytes)
        : m_bytes(bytes)
    {
    }

    size_t size() const { return m_bytes.size(); }
    bool has(size_t offset, size_t count) const { return offset <= m_bytes.size() && count <= m_bytes.size() - offset; }
    uint8_t u8(size_t offset) const { return has(offset, 1) ? m_bytes[offset] : uint8_t { 0 }; }
    uint16_t u16(size_t offset) const
    {
        return has(offset, 2) ? static_cast<uint16_t>(LoadLe(m_bytes.data() + offset, 2)) : uint16_t { 0 };
    }
    int16_t i16(size_t offset) const { return static_cast<int16_t>(u16(offset)); }
    uint32_t u32(size_t offset) const { return has(offset, 4) ? LoadLe(m_bytes.data() + offset, 4) : 0; }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }
    float f32(size_t offset) const
    {
        const uint32_t v = u32(offset);
        float f;
        std::memcpy(&f, &v, sizeof f);
        return f;
    }
    // The bytes from offset on, count of them, or nothing when they do not fit.
    Bytes sub(size_t offset, size_t count) const
    {
        return has(offset, count) ? m_bytes.subspan(offset, count) : Bytes {};
    }
    Bytes rest(size_t offset) const { return offset <= m_bytes.size() ? m_bytes.subspan(offset) : Bytes {}; }

private:
    Bytes m_bytes;
};

// Collects the fixed part of a record before it goes to the sink.
class RecordBuilder {
public:
    RecordBuilder& u16(uint32_t v) { return put(2, v); }
    RecordBuilder& u32(uint32_t v) { return put(4, v); }
    RecordBuilder& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }
    [[nodiscard]] bool writeTo(ByteSink& sink) const { return sink.write(m_bytes.data(), m_bytes.size()); }

private:
    RecordBuilder& put(size_t bytes, uint32_t v)
    {
        m_bytes.resize(m_bytes.size() + bytes);
        StoreLe(m_bytes.data() + m_bytes.size() - bytes, bytes, v);
        return *this;
    }

    std::vector<uint8_t> m_bytes;
};

} // namespace kaptivus::files::metafile
