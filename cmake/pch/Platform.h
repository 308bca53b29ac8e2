// Precompiled for the desktop-services library: the toolkit's core and
// picture classes. No X headers: they stay in the few files that talk to X.
#pragma once

#include "Standard.h"

#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
