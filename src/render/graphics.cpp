#include "render/graphics.h"

#include "world/globals.h"

int GraphicHandler(void*) { return 0; }
void createScreen() {}
void GraphicFrame() {}
void TakeFrameSnapshot() {}
void DrawFrameSnapshot() {}
void RequestBlueTextures() {}
void ProcessRenderRequests() {}
