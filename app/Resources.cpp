#include "app/Resources.h"

#include <QtGlobal>

static void initResources() { Q_INIT_RESOURCE(resources); }

void EnsureResources()
{
    static const bool done = (initResources(), true);
    (void)done;
}
