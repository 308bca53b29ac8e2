// Copies a rectangle of the root window into a picture in the screen's own
// format: MIT-SHM GetImage into a reused shared segment, plain GetImage in
// strips when the server cannot share memory with us.
#include "platform/Screen.h"
#include "platform/XcbSupport_p.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

namespace kaptivus::platform {

namespace {

using pixels::DeviceFormat;
using pixels::Picture;

// The X protocol's coordinates are 16-bit.
constexpr int MaxSide = 32767;
// Larger grabs are refused rather than risk exhausting memory.
constexpr size_t MaxGrabBytes = size_t(1) << 30;
// Plain GetImage replies are kept below this size.
constexpr size_t StripBytes = size_t(4) << 20;

const xcb_format_t* pixmapFormat(const xcb_setup_t* setup, uint8_t depth)
{
    xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup);
    for (; it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == depth) return it.data;
    return nullptr;
}

const xcb_visualtype_t* rootVisual(const xcb_screen_t* screen)
{
    xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(screen);
    for (; d.rem > 0; xcb_depth_next(&d)) {
        xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data);
        for (; v.rem > 0; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual) return v.data;
    }
    return nullptr;
}

// Where the pixels come from and where they go.
struct CopyJob {
    xcb_connection_t* c;
    xcb_window_t root;
    ScreenRect source; // on the screen, already clipped to it
    uint8_t* target; // first byte of the source's top-left pixel in the picture
    int targetStride;
    int bytesPerPixel;
    int serverStride; // bytes a row in the server's image, padded to its scanline unit
    bool swapBytes; // the server sends most significant byte first
    uint32_t channelBits; // of a 32-bit pixel: the bits any channel uses
};

// Copies 32-bit pixels keeping only the channels' bits: the byte a depth-24
// screen leaves unused holds whatever the server had there, and a capture
// without it is handed on by the picture window without a copy of its own.
void copyChannels(uint8_t* out, const uint8_t* in, size_t pixels, uint32_t kept)
{
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t word;
        std::memcpy(&word, in + 4 * i, 4);
        word &= kept;
        std::memcpy(out + 4 * i, &word, 4);
    }
}

void copyRows(const CopyJob& job, const uint8_t* data, int firstRow, int rows)
{
    const size_t rowBytes = static_cast<size_t>(job.source.width) * static_cast<size_t>(job.bytesPerPixel);
    const bool masked = job.bytesPerPixel == 4 && job.channelBits != 0xFFFFFFFFu && !job.swapBytes;
    for (int y = 0; y < rows; ++y) {
        uint8_t* out = job.target + static_cast<size_t>(firstRow + y) * static_cast<size_t>(job.targetStride);
        const uint8_t* in = data + static_cast<size_t>(y) * static_cast<size_t>(job.serverStride);
        if (masked) {
            copyChannels(out, in, static_cast<size_t>(job.source.width), job.channelBits);
            continue;
        }
        std::memcpy(out, in, rowBytes);
        if (!job.swapBytes) continue;
        for (size_t i = 0; i + job.bytesPerPixel <= rowBytes; i += job.bytesPerPixel)
            std::reverse(out + i, out + i + job.bytesPerPixel);
    }
}

class SharedSegment {
public:
    ~SharedSegment() { release(nullptr); }
    // A segment of at least `bytes` attached to the server, or null.
    uint8_t* reserve(xcb_connection_t* c, size_t bytes);
    xcb_shm_seg_t id() const { return m_seg; }

private:
    void release(xcb_connection_t* c);
    int m_shmid = -1;
    uint8_t* m_addr = nullptr;
    size_t m_size = 0;
    xcb_shm_seg_t m_seg = 0;
};

void SharedSegment::release(xcb_connection_t* c)
{
    if (c && m_seg) xcb_shm_detach(c, m_seg);
    if (m_addr) shmdt(m_addr);
    if (m_shmid >= 0) shmctl(m_shmid, IPC_RMID, nullptr);
    m_shmid = -1;
    m_addr = nullptr;
    m_size = 0;
    m_seg = 0;
}

uint8_t* SharedSegment::reserve(xcb_connection_t* c, size_t bytes)
{
    if (m_addr && m_size >= bytes) return m_addr;
    release(c);
    m_shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_shmid < 0) return nullptr;
    void* addr = shmat(m_shmid, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        release(c);
        return nullptr;
    }
    m_addr = static_cast<uint8_t*>(addr);
    m_size = bytes;
    m_seg = xcb_generate_id(c);
    if (xcb::errorCode(c, xcb_shm_attach_checked(c, m_seg, static_cast<uint32_t>(m_shmid), 0)) != 0) {
        m_seg = 0;
        release(c);
        return nullptr;
    }
    // Marked for removal at once: it disappears with the last attachment, even after a crash.
    shmctl(m_shmid, IPC_RMID, nullptr);
    m_shmid = -1;
    return m_addr;
}

bool serverSharesMemory(xcb_connection_t* c)
{
    static int known = -1;
    if (known < 0) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
        auto version = ext && ext->present ? xcb::reply(c, xcb_shm_query_version_reply, xcb_shm_query_version(c))
                                           : xcb::Reply<xcb_shm_query_version_reply_t>();
        known = version ? 1 : 0;
    }
    return known == 1;
}

bool copyThroughSharedMemory(const CopyJob& job)
{
    static SharedSegment segment;
    static bool broken = false;
    if (broken || !serverSharesMemory(job.c)) return false;
    const size_t bytes = static_cast<size_t>(job.serverStride) * static_cast<size_t>(job.source.height);
    uint8_t* data = segment.reserve(job.c, bytes);
    if (!data) {
        // Typically a server in another IPC namespace or on another machine.
        broken = true;
        return false;
    }
    auto r = xcb::reply(job.c, xcb_shm_get_image_reply,
        xcb_shm_get_image(job.c, job.root, static_cast<int16_t>(job.source.left), static_cast<int16_t>(job.source.top),
            static_cast<uint16_t>(job.source.width), static_cast<uint16_t>(job.source.height), ~0u,
            XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id(), 0));
    if (!r || r->size < bytes) return false;
    copyRows(job, data, 0, job.source.height);
    return true;
}

bool copyThroughGetImage(const CopyJob& job)
{
    const int rowsPerStrip = std::max(1, static_cast<int>(StripBytes / static_cast<size_t>(job.serverStride)));
    for (int row = 0; row < job.source.height; row += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, job.source.height - row);
        auto r = xcb::reply(job.c, xcb_get_image_reply,
            xcb_get_image(job.c, XCB_IMAGE_FORMAT_Z_PIXMAP, job.root, static_cast<int16_t>(job.source.left),
                static_cast<int16_t>(job.source.top + row), static_cast<uint16_t>(job.source.width),
                static_cast<uint16_t>(rows), ~0u));
        if (!r) return false;
        const size_t need = static_cast<size_t>(job.serverStride) * static_cast<size_t>(rows);
        if (static_cast<size_t>(xcb_get_image_data_length(r.get())) < need) return false;
        copyRows(job, xcb_get_image_data(r.get()), row, rows);
    }
    return true;
}

} // namespace

bool screenAvailable()
{
    return xcb::shared().isValid();
}

DeviceFormat screenDeviceFormat()
{
    const xcb::Connection& conn = xcb::shared();
    DeviceFormat format;
    if (!conn.isValid()) return format;
    const xcb_screen_t* screen = conn.screen();
    format.depth = screen->root_depth;
    if (const xcb_format_t* f = pixmapFormat(xcb_get_setup(conn.get()), screen->root_depth))
        format.bitsPerPixel = f->bits_per_pixel;
    if (const xcb_visualtype_t* v = rootVisual(screen)) {
        format.redMask = v->red_mask;
        format.greenMask = v->green_mask;
        format.blueMask = v->blue_mask;
    }
    return format;
}

ScreenRect screenRect()
{
    const xcb::Connection& conn = xcb::shared();
    if (!conn.isValid()) return {};
    return ScreenRect { 0, 0, conn.screen()->width_in_pixels, conn.screen()->height_in_pixels };
}

pixels::Picture grabRect(int left, int top, int width, int height, GrabMethod method)
{
    const xcb::Connection& conn = xcb::shared();
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide || !conn.isValid()) return {};
    conn.discardEvents();
    const DeviceFormat format = screenDeviceFormat();
    const int bpp = format.bitsPerPixel;
    const int stride = static_cast<int>((static_cast<int64_t>(width) * bpp + 31) / 32 * 4);
    if (static_cast<size_t>(stride) * static_cast<size_t>(height) > MaxGrabBytes) return {};
    std::vector<uint8_t> bits;
    try {
        bits.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    const ScreenRect source = intersected(ScreenRect { left, top, width, height }, screenRect());
    // Screens below 8 bits a pixel do not exist in practice; they give black.
    if (!source.isEmpty() && bpp % 8 == 0) {
        const xcb_setup_t* setup = xcb_get_setup(conn.get());
        const xcb_format_t* f = pixmapFormat(setup, conn.screen()->root_depth);
        const int pad = f && f->scanline_pad >= 8 ? f->scanline_pad : 32;
        CopyJob job { conn.get(), conn.root(), source, nullptr, stride, bpp / 8,
            (source.width * bpp + pad - 1) / pad * pad / 8,
            setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST && bpp > 8,
            format.redMask | format.greenMask | format.blueMask };
        job.target = bits.data() + static_cast<size_t>(source.top - top) * static_cast<size_t>(stride)
            + static_cast<size_t>(source.left - left) * static_cast<size_t>(bpp / 8);
        const bool done = method != GrabMethod::GetImage && copyThroughSharedMemory(job);
        if (!done && method != GrabMethod::SharedMemory) copyThroughGetImage(job);
    }
    return Picture::adopt(width, height, pixels::PixelFormat::DeviceDefault, format, std::move(bits), stride);
}

} // namespace kaptivus::platform
