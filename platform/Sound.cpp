// Sounds through libcanberra: one context for the process, asynchronous play,
// and the bell for the rest of the run once the device has failed.
// A WAVE held in memory is written to a private temporary file first.
#include "platform/Sound.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <canberra.h>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace kaptivus::platform {

namespace {

// The sound libraries print a line on the standard error for every step of a
// failed device probe (seven or eight per try without a sound card); the
// program reports by beeping instead, so their output goes to /dev/null for
// the length of each call. Single GUI thread: nothing else plays meanwhile.
template <typename Call>
bool withQuietStderr(Call call)
{
    std::fflush(stderr);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool quiet = saved >= 0 && null >= 0 && ::dup2(null, STDERR_FILENO) == STDERR_FILENO;
    if (null >= 0) ::close(null);
    const bool ok = call();
    if (quiet) {
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
    }
    if (saved >= 0) ::close(saved);
    return ok;
}

// After the first failure the run goes straight to the bell: a missing device
// does not come back between two captures, and each retry costs a probe.
bool g_deviceFailed = false;

ca_context* g_context = nullptr;

bool openContext()
{
    if (ca_context_create(&g_context) != CA_SUCCESS) {
        g_context = nullptr;
        return false;
    }
    ca_context_change_props(g_context, CA_PROP_APPLICATION_NAME, "Kaptivus 2000", nullptr);
    return ca_context_open(g_context) == CA_SUCCESS;
}

bool play(const QByteArray& file)
{
    if (!g_context && !openContext()) return false;
    return ca_context_play(g_context, 0, CA_PROP_MEDIA_FILENAME, file.constData(), CA_PROP_CANBERRA_CACHE_CONTROL,
                           "volatile", nullptr)
        == CA_SUCCESS;
}

} // namespace

bool playSoundFile(const QString& path)
{
    if (path.isEmpty() || !QFile::exists(path)) return false;
    if (g_deviceFailed) return false;
    const QByteArray file = QFile::encodeName(path);
    // The file exists, so any failure here is the device's (the ALSA driver
    // even reports a missing card as "file not found").
    if (withQuietStderr([&] { return play(file); }))
        return true;
    g_deviceFailed = true;
    if (g_context) ca_context_destroy(g_context);
    g_context = nullptr;
    return false;
}

bool playWave(const QByteArray& wav)
{
    if (wav.isEmpty() || g_deviceFailed) return false;
    // One file per distinct sound, kept until the process ends: the sound
    // service may still read it after play returns.
    static std::unique_ptr<QTemporaryFile> file;
    static QByteArray digest;
    const QByteArray sum = QCryptographicHash::hash(wav, QCryptographicHash::Sha1);
    if (!file || sum != digest) {
        auto next = std::make_unique<QTemporaryFile>(QStringLiteral("%1/kaptivus-XXXXXX.wav").arg(QDir::tempPath()));
        if (!next->open() || next->write(wav) != wav.size() || !next->flush()) return false;
        file = std::move(next);
        digest = sum;
    }
    return playSoundFile(file->fileName());
}

} // namespace kaptivus::platform
