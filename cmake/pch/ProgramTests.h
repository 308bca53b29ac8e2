// Precompiled for the end-to-end tests, which drive the real program from
// outside: the test framework and the toolkit's process and file classes.
#pragma once

#include "Standard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
