#pragma once

#include <string>

struct SDL_Renderer;

// Opens video, window, renderer, fonts, audio and the pads.
void iniSDL(bool antialiasing);

// After iniSDL: why the game cannot go on, as one line to print before it
// exits with status 1; empty when it can. Either SDL runs on a video driver
// that nobody sees (UnseenVideoDriver), or no drawing path gave a window and
// a renderer (then the line holds the reason SDL gave for each path tried).
std::string MediaStartFailure();

// True when `driver`, the video driver SDL runs on, shows nothing and takes
// no input (offscreen, dummy: SDL's last resort when it finds no display)
// and is not named in `requested`, the SDL_VIDEODRIVER setting (environment
// or hint; a comma-separated list, empty when not given). A player asks for
// no such driver; tests do.
bool UnseenVideoDriver(const std::string& driver, const std::string& requested);

// Gives `renderer` the game's 1920 x 1080 logical field, scaled to its
// output: kept whole with bars beside it, or filling an output a hair off
// 16:9 (FieldFillsOutput).
void FitFieldToOutput(SDL_Renderer* renderer);

// Lets go of the renderer's GL context on the calling thread, so that the
// graphics thread can make it current there.
void ReleaseRenderContext();
