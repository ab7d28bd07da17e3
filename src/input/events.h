#pragma once

#include <SDL.h>

// Drains the event queue, then reads the pads. Main thread only; takes
// StateMutex per event and for the pad poll.
void Events();
// Acts on one event; the caller holds StateMutex.
void HandleEvent(const SDL_Event& e);
