// Private helpers of the Wayland services: a connection whose every wait has a
// deadline, and frame buffers in shared memory. Included only by platform/wayland.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <wayland-client.h>

namespace kaptivus::platform::wayland::detail {

using Clock = std::chrono::steady_clock;

// Dispatches the compositor's events until `done` holds. False when the
// deadline passes first or the connection breaks; never blocks past the deadline.
bool dispatchUntil(wl_display* display, Clock::time_point deadline, const std::function<bool()>& done);

// A round trip bounded by the deadline: every request sent before it has been
// answered when it returns true.
bool roundtrip(wl_display* display, Clock::time_point deadline);

// A wl_buffer over an anonymous shared-memory file, kept for reuse while its
// size and format stay the same.
class ShmBuffer {
public:
    ShmBuffer() = default;
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    // (Re)creates the buffer unless it already has this shape; false with
    // `error` set when the memory cannot be had.
    bool ensure(wl_shm* shm, int width, int height, int stride, uint32_t format, std::string& error);
    wl_buffer* buffer() const { return m_buffer; }
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(m_data); }

private:
    void release();

    wl_buffer* m_buffer = nullptr;
    void* m_data = nullptr;
    size_t m_size = 0;
    int m_fd = -1;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    uint32_t m_format = 0;
};

} // namespace kaptivus::platform::wayland::detail
