// The agent's command socket, beside its single-instance lock: a second start
// of the program hands the running agent an action ("capture 103\n") and gets
// the gate's answer ("ok", "busy" or "bad"). Headers expose no socket types.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kaptivus::platform {

// The socket of the agent that holds the lock "<name>.<$DISPLAY>": the lock's
// path with ".sock" for ".lock". Empty when no safe folder exists.
std::string commandChannelPath(std::string_view name = "Kaptivus_v5");

// The action of a request line "capture N" (newline optional, N = 101..112), or 0.
int parseCaptureRequest(std::string_view line);

class CommandListener : public QObject {
public:
    explicit CommandListener(QObject* parent = nullptr);
    ~CommandListener() override;

    // Listens on the path, replacing a socket a dead agent left behind: only
    // the holder of the single-instance lock may call it. Anything else found
    // there (a file, a folder) is not the listener's to delete: false then,
    // and errorText() says why.
    bool listen(const std::string& path);
    const std::string& errorText() const;
    // Decides a capture request: true when it was let in.
    std::function<bool(int action)> onCapture;

private:
    void acceptClients();
    void serve(int fd);
    void pauseAccepting();
    void resumeAccepting();

    struct Impl;
    std::unique_ptr<Impl> m;
};

// Blocked: something that is not a socket lies at the path, so no agent can listen there.
enum class SendResult { Accepted, Refused, NoAgent, Blocked, Failed };
// Hands the action to the agent listening on the path and waits for its answer.
SendResult sendCapture(const std::string& path, int action, int timeoutMs = 5000);

} // namespace kaptivus::platform
