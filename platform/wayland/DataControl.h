// The Wayland clipboard for a program without a focused window: takes and reads
// the seat's selection through the wlroots data-control protocol, on a private
// connection that Qt's event loop serves. No Wayland types here; GUI thread only.
#pragma once

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::platform::wayland {

using ClipboardBytes = std::vector<uint8_t>;
// Makes the bytes of one offered type; called when a program first asks for
// it, so that a type nobody reads is never encoded. Empty: cannot.
using ClipboardProvider = std::function<ClipboardBytes(std::string_view type)>;

// What reading the selection gave: its bytes, nothing when the type is not
// offered (or nothing is), or an error that says why the offer could not be read.
struct SelectionRead {
    std::optional<ClipboardBytes> bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

class DataControl : public QObject {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY (or `display`), binds
    // the data-control manager and the first seat. `timeout` bounds every wait
    // for another program and every transfer of our own.
    explicit DataControl(const std::string& display = {},
        std::chrono::milliseconds timeout = std::chrono::milliseconds(3000), QObject* parent = nullptr);
    ~DataControl() override;
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    // Connected and offered the protocol; error() says what is missing otherwise.
    bool isAvailable() const;
    const std::string& error() const;

    // Takes the selection, offering `types` in this order. True once the
    // compositor has made it the selection; false with error() otherwise.
    bool setSelection(const std::vector<std::string>& types, ClipboardProvider provider);
    // Whether the selection is still ours (no other program has taken it).
    bool ownsSelection() const;
    // The types the selection offers now, ours included; empty when none.
    std::vector<std::string> offeredTypes();
    // The selection's bytes of `type`: at most `maxBytes`, within the timeout.
    // Our own selection is read from memory, without the compositor.
    SelectionRead read(const std::string& type, size_t maxBytes);

    // Transfers to other programs still running (for tests and shutdown).
    int pendingTransfers() const;

    struct State; // the connection's listeners reach it
    // Answers a reader's request for our selection (from the connection's listener).
    void serve(const std::string& type, int fd);

private:
    void dispatchIncoming();

    std::unique_ptr<State> m;
};

// The one the program shares, connected on first use to the session's
// compositor; for a Wayland session only. Check isAvailable() before use.
DataControl& sessionDataControl();
// Replaces the shared one (tests: a compositor without the protocol); null
// connects anew on the next use.
void setSessionDataControl(std::unique_ptr<DataControl> replacement);

} // namespace kaptivus::platform::wayland
