// Sounds: what cannot be played says so, so that the caller can beep instead.
#include "platform/Sound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaptivus::platform;

namespace {

// A mono 8-bit PCM WAVE of `samples` samples at 22050 Hz: a square wave.
QByteArray makeWave(int samples)
{
    auto le32 = [](QByteArray& out, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    auto le16 = [](QByteArray& out, uint16_t v) {
        out.append(static_cast<char>(v & 0xff));
        out.append(static_cast<char>(v >> 8));
    };
    QByteArray w("RIFF");
    le32(w, static_cast<uint32_t>(36 + samples));
    w.append("WAVEfmt ");
    le32(w, 16);
    le16(w, 1);
    le16(w, 1);
    le32(w, 22050);
    le32(w, 22050);
    le16(w, 1);
    le16(w, 8);
    w.append("data");
    le32(w, static_cast<uint32_t>(samples));
    for (int i = 0; i < samples; ++i)
        w.append(static_cast<char>((i / 25) % 2 ? 0xc0 : 0x40));
    return w;
}

// Whether any sound output could exist here: a sound card or a sound server.
bool soundOutputPossible()
{
    struct stat st { };
    if (stat("/dev/snd", &st) == 0) return true;
    if (qEnvironmentVariableIsSet("PULSE_SERVER")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFile::exists(runtime + QStringLiteral("/pulse/native"));
}

} // namespace

TEST(Sound, NothingToPlayIsAFailure)
{
    EXPECT_FALSE(playWave(QByteArray()));
    EXPECT_FALSE(playSoundFile(QString()));
    EXPECT_FALSE(playSoundFile(QStringLiteral("/nonexistent/shutter.wav")));
}

TEST(Sound, WithoutAnySoundOutputPlayingFailsQuietlySoTheCallerCanBeep)
{
    if (soundOutputPossible()) GTEST_SKIP() << "this machine may have a sound output";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray errors = QFile::encodeName(dir.filePath(QStringLiteral("stderr")));
    const int file = ::open(errors.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    const QByteArray wave = makeWave(4578);
    const bool first = playWave(wave);
    const bool second = playWave(wave);
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    QFile written(QFile::decodeName(errors));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), "");
}

TEST(Sound, PlayingReturnsWithoutWaitingForTheSoundToEnd)
{
    // Three seconds of sound; the call must come back long before that.
    const QByteArray wave = makeWave(3 * 22050);
    QElapsedTimer timer;
    timer.start();
    (void)playWave(wave);
    (void)playWave(wave);
    EXPECT_LT(timer.elapsed(), 2500);
}
