#include "input/events.h"

#include "world/globals.h"

void Events() {}
void HandleEvent(const SDL_Event&) {}
