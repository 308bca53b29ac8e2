// Precompiled for the widget test programs: the widgets, the test framework
// and the toolkit's test helpers.
#pragma once

#include "Widgets.h"

#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
