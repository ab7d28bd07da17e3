// Which way the game draws: SDL's accelerated renderer, or its software
// renderer, writing either straight into the window's own surface or into a
// surface that SDL shows through a texture of an accelerated renderer.
#pragma once

#include <string>
#include <vector>

enum class DrawingPath { Accelerated, Software, SoftwareTexture };

// Whether this machine has a device that a hardware renderer could draw
// with. Unknown where the platform gives no cheap answer.
enum class GpuDevice { Present, Absent, Unknown };

// Looks for one without loading any graphics library (on Linux: a DRM render
// node or the NVIDIA driver's control device; elsewhere Unknown).
GpuDevice FindGpuDevice();

// One step of the drawing chain: the path, and whether an accelerated
// renderer made on it is kept only when it really draws in hardware (see
// ChooseDrawingPath) or whatever draws it.
struct DrawingStep {
    DrawingPath path;
    bool hardwareOnly;

    bool operator==(const DrawingStep& other) const
    {
        return path == other.path && hardwareOnly == other.hardwareOnly;
    }
};

// The steps to try, in order, on SDL's video driver `driver` (its name as
// SDL_GetCurrentVideoDriver gives it, any case). The first is the one that
// draws fastest there; each further one is tried when the one before could
// not make a window and a renderer, or made an accelerated renderer that
// draws in software where that is not wanted.
//
// Drivers differ in what SDL 2 gives them:
// - x11 and any driver not named here: a window surface of its own, shown
//   as an image (shared memory on X11); software drawing into it is the
//   cheapest way without a GPU. An accelerated renderer comes first only
//   where there is a GPU device, and is kept there only when it draws in
//   hardware; at the end of the chain it is kept whatever draws it.
// - wayland and KMSDRM: no window surface of their own. Software drawing
//   needs SDL to show the surface through a texture of an OpenGL renderer,
//   which without a GPU is Mesa's llvmpipe, the same rasteriser the
//   accelerated renderer draws with: the texture path costs what the
//   accelerated one costs plus the software drawing (measured on weston
//   without a GPU: 1.04 to 1.14 times the processor time in play, 37 ms
//   between frames instead of 26 to 29 ms), so the accelerated renderer
//   comes first and is kept whatever draws it, and the texture path is the
//   fallback.
// - windows: GDI gives a window surface, and SDL never backs it with a
//   texture there (GDI's copy is faster), so the texture path is left out.
//   No device list is read on Windows: the accelerated renderer (Direct3D)
//   comes first.
std::vector<DrawingStep> DrawingOrder(const std::string& driver, GpuDevice gpu);

// Whether an accelerated renderer that was made is kept (Accelerated) or
// passed over for the software paths (Software). `renderer` is the name of
// the accelerated renderer SDL made ("opengl", "direct3d", ...; empty when
// none could be made), `glRenderer` the GL_RENDERER string of its OpenGL
// context (empty when it is not an OpenGL renderer).
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

// Whether the window asks for high-DPI drawing (SDL_WINDOW_ALLOW_HIGHDPI).
// On an output that the desktop scales (Wayland at scale 2: 1920 x 1080
// pixels that windows see as 960 x 540) the renderer then draws at the
// output's own pixels, and the 1920 x 1080 field keeps its sharp edges;
// without it the game draws at the desktop's size and the compositor
// enlarges the picture. `outputW` x `outputH` are the pixels of the largest
// output (the largest mode SDL lists; 0 when unknown).
//
// Asked for everywhere except where no GPU device draws and the output has
// more pixels than the field: there Mesa's llvmpipe draws every pixel on
// the processor, and a 3840 x 2160 output at scale 2 costs four times a
// 1920 x 1080 frame (measured on weston without a GPU: 112 against 28 ms
// of processor time a frame in play, 461 against 210 MB), which two cores
// cannot draw in time. Up to the field's pixels it costs what a 1920 x 1080
// screen without scaling does. Not asked for, the field is drawn at the
// desktop's size (1920 x 1080 on that 3840 x 2160 output) and enlarged.
bool AskHighDpi(GpuDevice gpu, int outputW, int outputH);

// Whether full screen on SDL's video driver `driver` takes the desktop's
// mode (SDL_WINDOW_FULLSCREEN_DESKTOP) instead of switching to the mode of
// the window's size (SDL_WINDOW_FULLSCREEN). True on Wayland, where there
// are no mode switches: SDL 2.26 imitates one by scaling the window, and
// for a high-DPI window on a scaled output it draws a picture of the
// desktop's size in pixels at the output's scale, which fills a quarter of
// a scale-2 output. The desktop's mode is the one the window has anyway.
bool DesktopFullScreen(const std::string& driver);

// Whether the 1920 x 1080 field is scaled to fill an output of w x h pixels
// whole, giving up less than one pixel of it at the edges (SDL's "overscan"
// logical size mode), rather than kept whole with bars beside it (SDL's
// default letterbox). Screens a hair off 16:9, such as the 1366 x 768 of many
// laptops, would otherwise keep a bar of one pixel that no square reaches;
// on any other shape the bars are wider than a pixel and stay.
bool FieldFillsOutput(int w, int h);

// The path's short name, as VORLUNE_DRAWING_PATH and the timing report
// write it: "accelerated", "software" or "texture".
const char* DrawingPathName(DrawingPath path);

// Timing builds only: the path named by VORLUNE_DRAWING_PATH (see
// DrawingPathName), so that the probe can measure each on one machine; it is
// then the only one tried. Null when not given and always null in the
// shipped program.
const DrawingPath* ForcedDrawingPath();

// Timing builds only: VORLUNE_HIGH_DPI "1" or "0" asks for high-DPI drawing
// or not, whatever AskHighDpi says, so that the probe can measure both on
// one output. -1 when not given, and always in the shipped program.
int ForcedHighDpi();

// Timing builds only: prints the path taken, what the choice was based on,
// and the paths passed over before it with the reason for each.
void ReportDrawingPath(DrawingPath path, const std::string& driver, GpuDevice gpu,
                       const std::string& renderer, const std::string& glRenderer,
                       const std::vector<std::string>& passedOver);
