// Placeholder until the font list is built.
#include "runtime/controls/controls.h"

void build_default_fonts() {}
