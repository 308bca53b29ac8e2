// The agent's command socket, beside its single-instance lock: a second start
// of the program hands the running agent an action ("capture 103 wait\n"), gets
// the gate's answer ("ok", "busy" or "bad") and, after "ok", how the action
// ended ("done", "cancelled" or "failed <reason>"). Headers expose no socket types.
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

// A request line "capture N" or "capture N wait" (newline optional, N =
// 101..112): action 0 when the line is anything else. Only a client that
// says "wait" is told how the action ended; older clients read one line.
struct CaptureRequest {
    int action = 0;
    bool waits = false;
};
CaptureRequest parseCaptureRequest(std::string_view line);

// How an action the gate let in ended.
enum class Outcome { Done, Cancelled, Failed };
// Tells the client that asked how its action ended, with the reason of a
// failure. Only the first call counts; harmless once the client has gone.
using OutcomeReply = std::function<void(Outcome outcome, const std::string& reason)>;
// The longest reason sent, in bytes; a longer one is cut.
constexpr size_t MaxOutcomeReason = 400;

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
    // Decides a capture request: true when it was let in. An action let in
    // calls `finished` once it has ended, at any time later.
    std::function<bool(int action, const OutcomeReply& finished)> onCapture;

private:
    void acceptClients();
    void serve(int fd);
    void pauseAccepting();
    void resumeAccepting();

    struct Impl;
    std::unique_ptr<Impl> m;
};

// Done, Cancelled, ActionFailed: how an action the agent took ended.
// Unfinished: the agent took the action, then closed without saying how it ended.
// Blocked: something that is not a socket lies at the path, so no agent can listen there.
// Failed: no agent answered as one.
enum class SendResult { Done, Cancelled, ActionFailed, Unfinished, Refused, NoAgent, Blocked, Failed };
struct SendAnswer {
    SendResult result = SendResult::Failed;
    std::string reason; // of ActionFailed, one line
};
// Hands the action to the agent listening on the path and waits for the
// gate's answer (at most timeoutMs), then, without a limit while the agent
// lives, for the action to end: a selector may wait for the user. An agent
// of an older build, which answers only the gate, is taken at its "ok".
SendAnswer sendCapture(const std::string& path, int action, int timeoutMs = 5000);

} // namespace kaptivus::platform
