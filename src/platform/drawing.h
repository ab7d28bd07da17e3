// Which way the game draws: SDL's accelerated renderer, or its software
// renderer writing straight into the window's own surface.
#pragma once

#include <string>

enum class DrawingPath { Accelerated, Software };

// Whether this machine has a device that a hardware renderer could draw
// with. Unknown where the platform gives no cheap answer.
enum class GpuDevice { Present, Absent, Unknown };

// Looks for one without loading any graphics library (on Linux: a DRM render
// node or the NVIDIA driver's control device; elsewhere Unknown).
GpuDevice FindGpuDevice();

// The choice. `renderer` is the name of the accelerated renderer SDL made
// ("opengl", "direct3d", ...; empty when none could be made or none was
// tried), `glRenderer` the GL_RENDERER string of its OpenGL context (empty
// when it is not an OpenGL renderer).
//
// Software when there is no GPU device at all, when no accelerated renderer
// could be made, or when its OpenGL is a software rasteriser; on such a
// machine the "accelerated" renderer draws in software and then copies
// every frame through the rasteriser, the slowest way there is. Otherwise
// the accelerated renderer stays.
DrawingPath ChooseDrawingPath(GpuDevice gpu, const std::string& renderer,
                              const std::string& glRenderer);

// True for the GL_RENDERER strings of known software rasterisers (any case).
bool IsSoftwareRasteriser(const std::string& glRenderer);

// The GL_RENDERER string of the OpenGL context current on this thread
// (SDL makes the renderer's context current when it makes the renderer);
// empty without one.
std::string CurrentGlRenderer();

// Timing builds only: the path named by VORLUNE_DRAWING_PATH ("accelerated"
// or "software"), so that the probe can measure both on one machine; null
// when not given and always null in the shipped program.
const DrawingPath* ForcedDrawingPath();

// Timing builds only: prints the choice and what it was based on.
void ReportDrawingPath(DrawingPath path, GpuDevice gpu, const std::string& renderer,
                       const std::string& glRenderer);
