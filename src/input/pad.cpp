#include "input/pad.h"

#include "world/globals.h"

void PadControls() {}
