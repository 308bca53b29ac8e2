// Deadline-bounded event dispatch and shared-memory frame buffers.
#include "platform/wayland/WaylandDisplay_p.h"

#include <cerrno>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kaptivus::platform::wayland::detail {
namespace {

// Reads what the socket holds within the deadline, without dispatching it.
bool readWithin(wl_display* display, Clock::time_point deadline)
{
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return false;
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return false;
    }
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd pfd { wl_display_get_fd(display), POLLIN, 0 };
        const int ready = poll(&pfd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        return wl_display_read_events(display) == 0;
    }
}

} // namespace

bool dispatchUntil(wl_display* display, Clock::time_point deadline, const std::function<bool()>& done)
{
    if (wl_display_dispatch_pending(display) < 0) return false;
    while (!done()) {
        if (!readWithin(display, deadline) || wl_display_dispatch_pending(display) < 0) return false;
    }
    return true;
}

bool roundtrip(wl_display* display, Clock::time_point deadline)
{
    bool answered = false;
    static const wl_callback_listener listener {
        [](void* data, wl_callback* callback, uint32_t) {
            *static_cast<bool*>(data) = true;
            wl_callback_destroy(callback);
        },
    };
    wl_callback* callback = wl_display_sync(display);
    if (callback == nullptr) return false;
    wl_callback_add_listener(callback, &listener, &answered);
    if (dispatchUntil(display, deadline, [&] { return answered; })) return true;
    // The callback may still arrive; it must not write to a variable that is gone.
    if (!answered) wl_callback_destroy(callback);
    return false;
}

ShmBuffer::~ShmBuffer()
{
    release();
}

void ShmBuffer::release()
{
    if (m_buffer != nullptr) wl_buffer_destroy(m_buffer);
    if (m_data != nullptr) munmap(m_data, m_size);
    if (m_fd >= 0) close(m_fd);
    m_buffer = nullptr;
    m_data = nullptr;
    m_fd = -1;
    m_size = 0;
}

bool ShmBuffer::ensure(wl_shm* shm, int width, int height, int stride, uint32_t format, std::string& error)
{
    if (m_buffer != nullptr && width == m_width && height == m_height && stride == m_stride && format == m_format)
        return true;
    release();
    m_size = static_cast<size_t>(stride) * static_cast<size_t>(height);
    m_fd = memfd_create("kaptivus-frame", MFD_CLOEXEC);
    if (m_fd < 0 || ftruncate(m_fd, static_cast<off_t>(m_size)) != 0) {
        error = "Cannot make shared memory for a screen frame.";
        release();
        return false;
    }
    m_data = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (m_data == MAP_FAILED) {
        m_data = nullptr;
        error = "Cannot map shared memory for a screen frame.";
        release();
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, m_fd, static_cast<int32_t>(m_size));
    m_buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_format = format;
    return m_buffer != nullptr;
}

} // namespace kaptivus::platform::wayland::detail
