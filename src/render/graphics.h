// The graphics thread: background colour, the two pools, present.
#pragma once

#include "world/object.h"

int GraphicHandler(void* data);
void createScreen();

// One frame without pacing: take the snapshot under StateMutex, then draw
// and present without the lock. Also serves tests and benchmarks.
void GraphicFrame();

// Copies what a frame draws (pools, text of the shown boxes, colour) from the
// shared state; the caller holds StateMutex.
void TakeFrameSnapshot();
// Draws the last snapshot with Renderer and presents it. Unless
// `leaveOutHidden` is false, what later opaque squares hide is left out:
// whole objects, the parts of squares hidden in part, the clear when one
// square covers the whole output (see render/cover.h). The picture is the
// same either way.
void DrawFrameSnapshot(bool leaveOutHidden = true);

// What the last frame drew: the objects drawn, how many parts of squares
// hidden in part were drawn on their own, and whether the target was
// cleared. Drawing thread only (or tests, when no graphics thread runs).
struct FrameWork {
    int objects = 0;
    int parts = 0;
    bool cleared = true;
};
FrameWork LastFrameWork();

// Asks the graphics thread to replace image slots 2 and 3 with the blue
// squares; done before its next frame. The caller holds StateMutex.
void RequestBlueTextures();
// Carries out pending requests; graphics thread only (or tests, when no
// graphics thread runs). Returns true when it changed a texture.
bool ProcessRenderRequests();

// True when the last snapshot differs from the one before it in anything a
// frame shows (pools, background, text boxes). The graphics thread redraws an
// unchanged picture only every two seconds (or when asked to).
bool FrameSnapshotChanged();

// Asks the graphics thread to draw its next frame even if nothing changed
// (the window was uncovered). Any thread.
void RequestRedraw();

// Destroys the cached text textures (the graphics thread's and the shared
// boxes') and forgets the last snapshot, pending requests and what is known
// of the pictures' opacity. Needed before
// the renderer is destroyed and a new one made, as the test suites do.
void ResetRenderCaches();
