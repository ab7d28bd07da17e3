#include "platform/drawing.h"

#include <SDL.h>
#include <algorithm>
#include <cctype>
#include <cstdio>

#ifdef __linux__
#include <filesystem>
#endif

GpuDevice FindGpuDevice()
{
#ifdef __linux__
    // Mesa draws with hardware only through a render node; the NVIDIA
    // driver's own OpenGL needs its control device. Without either, every
    // OpenGL on this machine is a software rasteriser.
    std::error_code ec;
    if (std::filesystem::exists("/dev/nvidiactl", ec)) {
        return GpuDevice::Present;
    }
    for (std::filesystem::directory_iterator it("/dev/dri", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().string().rfind("renderD", 0) == 0) {
            return GpuDevice::Present;
        }
    }
    return GpuDevice::Absent;
#else
    // Windows and the rest: SDL's accelerated renderer there is Direct3D or
    // Metal, which come with their own fallbacks; no device list is read.
    return GpuDevice::Unknown;
#endif
}

bool IsSoftwareRasteriser(const std::string& glRenderer)
{
    std::string text = glRenderer;
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Mesa's llvmpipe, softpipe and swrast (and its older "Software
    // Rasterizer"), Windows' own OpenGL 1.1 ("GDI Generic"), Apple's
    // fallback and Google's SwiftShader.
    static const char* const marks[] = {"llvmpipe",    "softpipe",
                                        "swrast",      "software rasterizer",
                                        "gdi generic", "apple software renderer",
                                        "swiftshader"};
    return std::any_of(std::begin(marks), std::end(marks),
                       [&text](const char* mark) { return text.find(mark) != std::string::npos; });
}

DrawingPath ChooseDrawingPath(GpuDevice gpu, const std::string& renderer,
                              const std::string& glRenderer)
{
    if (gpu == GpuDevice::Absent || renderer.empty() || renderer == "software" ||
        IsSoftwareRasteriser(glRenderer)) {
        return DrawingPath::Software;
    }
    return DrawingPath::Accelerated;
}

std::string CurrentGlRenderer()
{
    if (SDL_GL_GetCurrentContext() == nullptr) {
        return "";
    }
    // glGetString as OpenGL declares it; GL_RENDERER is 0x1F01.
#if defined(_WIN32) && !defined(_WIN64)
    using GetString = const unsigned char*(__stdcall*)(unsigned int);
#else
    using GetString = const unsigned char* (*)(unsigned int);
#endif
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* text = getString != nullptr ? getString(0x1F01) : nullptr;
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

#ifdef VORLUNE_TIMING

const DrawingPath* ForcedDrawingPath()
{
    static const DrawingPath accelerated = DrawingPath::Accelerated;
    static const DrawingPath software = DrawingPath::Software;
    const char* forced = SDL_getenv("VORLUNE_DRAWING_PATH");
    if (forced != nullptr && SDL_strcmp(forced, "accelerated") == 0) {
        return &accelerated;
    }
    if (forced != nullptr && SDL_strcmp(forced, "software") == 0) {
        return &software;
    }
    return nullptr;
}

void ReportDrawingPath(DrawingPath path, GpuDevice gpu, const std::string& renderer,
                       const std::string& glRenderer)
{
    static const char* const devices[] = {"present", "absent", "unknown"};
    std::printf("timing: drawing path %s%s (GPU device %s, accelerated renderer \"%s\", "
                "OpenGL \"%s\")\n",
                path == DrawingPath::Software ? "software" : "accelerated",
                ForcedDrawingPath() != nullptr ? ", forced" : "", devices[static_cast<int>(gpu)],
                renderer.c_str(), glRenderer.c_str());
    std::fflush(stdout);
}

#else

const DrawingPath* ForcedDrawingPath()
{
    return nullptr;
}

void ReportDrawingPath(DrawingPath, GpuDevice, const std::string&, const std::string&) {}

#endif
