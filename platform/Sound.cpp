// Sounds through libcanberra: one context for the process, asynchronous play.
// A WAVE held in memory is written to a private temporary file first.
#include "platform/Sound.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <canberra.h>
#include <memory>

namespace kaptivus::platform {

namespace {

ca_context* context()
{
    static ca_context* ctx = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "Kaptivus 2000", nullptr);
        // Opening picks a driver; without a sound device this fails, which is the cue to beep.
        if (ca_context_open(c) != CA_SUCCESS) {
            ca_context_destroy(c);
            return static_cast<ca_context*>(nullptr);
        }
        return c;
    }();
    return ctx;
}

} // namespace

bool playSoundFile(const QString& path)
{
    if (path.isEmpty() || !QFile::exists(path)) return false;
    ca_context* ctx = context();
    if (!ctx) return false;
    const QByteArray file = QFile::encodeName(path);
    return ca_context_play(
               ctx, 0, CA_PROP_MEDIA_FILENAME, file.constData(), CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr)
        == CA_SUCCESS;
}

bool playWave(const QByteArray& wav)
{
    if (wav.isEmpty()) return false;
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
