// Plays a sound file or an in-memory WAVE asynchronously through the desktop's
// sound service (libcanberra). False when the sound cannot be started, so the
// caller can beep instead; after the device has failed once, false at once and
// without a word on the standard error.
#pragma once

#include <QByteArray>
#include <QString>

namespace kaptivus::platform {

bool playSoundFile(const QString& path);
// The bytes are written once to a private temporary file that lives until the
// process ends (the sound service plays from files only).
bool playWave(const QByteArray& wav);

} // namespace kaptivus::platform
