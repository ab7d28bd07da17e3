#include "platform/media.h"

#include "world/globals.h"

void iniSDL(bool) {}
void ReleaseRenderContext() {}
