#pragma once

// Opens video, window, renderer, fonts, audio and the pads.
void iniSDL(bool antialiasing);

// Lets go of the renderer's GL context on the calling thread, so that the
// graphics thread can make it current there.
void ReleaseRenderContext();
