// The program's own pictures and sound live in a Qt resource file compiled into
// a static library, whose registration the linker would otherwise drop.
#pragma once

void EnsureResources();
