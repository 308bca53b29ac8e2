// `kaptivus2000 --capture 102` to a complete numbered file on the running
// agent, against grim writing the same desktop to a file in the same folder.
// Run inside a headless sway (one 1920x1080 output) with the agent staged:
//   scripts/swaysession.sh scripts/swayclient.sh --agent build/kaptivus2000 build/bench/kaptivus_bench_wayland
// The folder is $KAPTIVUS_BENCH_FOLDER, else the temporary folder. The agent
// waits 50 ms before each grab, for menus to leave the screen: subtract it.
#include "SettingsTable.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs a program to its end; true when it exits with 0.
bool run(std::vector<std::string> args, pid_t* keep = nullptr)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    if (keep) {
        *keep = pid;
        return true;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

fs::path benchFolder()
{
    const char* chosen = std::getenv("KAPTIVUS_BENCH_FOLDER");
    const char* temp = std::getenv("TMPDIR");
    fs::path folder = fs::path(chosen ? chosen : temp ? temp : "/tmp") / ("kaptivus-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return folder;
}

void emptyFolder(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove(entry.path());
}

// Waits (at most 10 s) until a file whose name does not start with a dot
// lands in the folder: the agent's save renames its finished temporary file.
bool waitForFile(int inotify, const fs::path& folder)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string()[0] != '.') return true;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p { inotify, POLLIN, 0 };
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return false;
        char events[4096];
        (void)!read(inotify, events, sizeof events);
    }
}

// The agent, running with the numbered folder and the extension given, on
// the capture back-end named (the session's own when empty).
class Agent {
public:
    Agent(const std::string& ext, const fs::path& folder, const std::string& backend = {})
    {
        const char* program = std::getenv("KAPTIVUS_AGENT");
        m_program = program ? program : "";
        const fs::path config = folder.parent_path() / ("config-" + ext.substr(1));
        fs::create_directories(config / "Kaptivus2000");
        std::ofstream out(config / "Kaptivus2000" / "registry.reg", std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\r\n"
            << kaptivus::e2e::defaultSettingsBody({ { "AutoFolder", '"' + folder.string() + '"' },
                   { "DefaultExt", '"' + ext + '"' }, { "Sound", "dword:00000000" } });
        out.close();
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (!backend.empty()) setenv("KAPTIVUS_BACKEND", backend.c_str(), 1);
        const bool started = !m_program.empty() && run({ m_program }, &m_pid);
        unsetenv("KAPTIVUS_BACKEND");
        if (!started) return;
        // Ready once a capture is let in (the answer comes when the agent listens).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!run({ m_program, "--capture", "102" })) {
            if (std::chrono::steady_clock::now() > deadline) return;
            usleep(20000);
        }
        m_ready = true;
    }
    ~Agent()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }
    bool capture() const { return run({ m_program, "--capture", "102" }); }

private:
    std::string m_program;
    pid_t m_pid = 0;
    bool m_ready = false;
};

// The agent's numbered save, from the command to the complete file.
void BM_AgentCaptureToFile(benchmark::State& state, const std::string& ext, const std::string& backend = {})
{
    const fs::path folder = benchFolder();
    Agent agent(ext, folder, backend);
    if (!agent.ready()) {
        state.SkipWithError("the agent did not start (run with swayclient.sh --agent)");
        return;
    }
    const int inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(inotify, folder.c_str(), IN_MOVED_TO | IN_CREATE);
    for (auto _ : state) {
        state.PauseTiming();
        // The start-up capture, or the last round's, is waited for and removed.
        if (!waitForFile(inotify, folder)) {
            state.SkipWithError("no file");
            break;
        }
        emptyFolder(folder);
        state.ResumeTiming();
        if (!agent.capture() || !waitForFile(inotify, folder)) {
            state.SkipWithError("the capture gave no file");
            break;
        }
    }
    close(inotify);
    fs::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_AgentCaptureToFile, png, std::string(".PNG"))
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
// The same through the Screenshot portal (run under scripts/portalsession.sh).
BENCHMARK_CAPTURE(BM_AgentCaptureToFile, png_portal, std::string(".PNG"), std::string("portal"))
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_AgentCaptureToFile, bmp, std::string(".BMP"))
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

// What a user would run instead: grim writing the same desktop to a file.
void BM_GrimToFile(benchmark::State& state, const std::string& type)
{
    const fs::path folder = benchFolder();
    const std::string file = (folder / ("grim." + type)).string();
    for (auto _ : state) {
        if (!run({ "grim", "-t", type, file })) {
            state.SkipWithError("grim failed");
            break;
        }
    }
    fs::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_GrimToFile, png, std::string("png"))->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_CAPTURE(BM_GrimToFile, ppm, std::string("ppm"))->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
