// The memo slate: entry, layout, callback and notes file.
#pragma once

#include "runtime/core/core.h"

int32_t slate_main();
int32_t show_slate(HWND parent);
