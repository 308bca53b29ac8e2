#include "dialogs/WaitCursor.h"

#include <QApplication>

namespace kaptivus::dialogs {

namespace {
// Counts RestoreAll calls: a scope opened before the latest one owns nothing any more.
unsigned g_generation = 0;
} // namespace

WaitCursor::WaitCursor()
    : m_generation(g_generation)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    if (m_generation == g_generation) QApplication::restoreOverrideCursor();
}

void WaitCursor::RestoreAll()
{
    ++g_generation;
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

} // namespace kaptivus::dialogs
