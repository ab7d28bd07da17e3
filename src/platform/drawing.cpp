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

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::vector<DrawingStep> DrawingOrder(const std::string& driver, GpuDevice gpu)
{
    const std::string name = Lower(driver);
    if (name == "wayland" || name == "kmsdrm") {
        return {{DrawingPath::Accelerated, false}, {DrawingPath::SoftwareTexture, false}};
    }
    std::vector<DrawingStep> order;
    if (gpu != GpuDevice::Absent) {
        order.push_back({DrawingPath::Accelerated, true});
    }
    order.push_back({DrawingPath::Software, false});
    if (name != "windows") {
        order.push_back({DrawingPath::SoftwareTexture, false});
    }
    order.push_back({DrawingPath::Accelerated, false});
    return order;
}

bool IsSoftwareRasteriser(const std::string& glRenderer)
{
    const std::string text = Lower(glRenderer);
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

bool AskHighDpi(GpuDevice gpu, int outputW, int outputH)
{
    return gpu != GpuDevice::Absent || static_cast<long long>(outputW) * outputH <= 1920LL * 1080;
}

bool DesktopFullScreen(const std::string& driver)
{
    return Lower(driver) == "wayland";
}

bool FieldFillsOutput(int w, int h)
{
    if (w <= 0 || h <= 0) {
        return false;
    }
    // Scaled to the full width (a wider output) or height, how many pixels
    // the field's other side reaches past the output, in 1920ths or 1080ths.
    const long long wide = 1080LL * w;
    const long long high = 1920LL * h;
    if (wide == high) {
        return false; // 16:9: both modes fill the output
    }
    return wide > high ? wide - high < 1920 : high - wide < 1080;
}

const char* DrawingPathName(DrawingPath path)
{
    switch (path) {
    case DrawingPath::Accelerated:
        return "accelerated";
    case DrawingPath::Software:
        return "software";
    case DrawingPath::SoftwareTexture:
        return "texture";
    }
    return "";
}

#ifdef VORLUNE_TIMING

const DrawingPath* ForcedDrawingPath()
{
    static const DrawingPath paths[] = {DrawingPath::Accelerated, DrawingPath::Software,
                                        DrawingPath::SoftwareTexture};
    const char* forced = SDL_getenv("VORLUNE_DRAWING_PATH");
    for (const DrawingPath& path : paths) {
        if (forced != nullptr && SDL_strcmp(forced, DrawingPathName(path)) == 0) {
            return &path;
        }
    }
    return nullptr;
}

int ForcedHighDpi()
{
    const char* forced = SDL_getenv("VORLUNE_HIGH_DPI");
    if (forced != nullptr && (SDL_strcmp(forced, "0") == 0 || SDL_strcmp(forced, "1") == 0)) {
        return forced[0] - '0';
    }
    return -1;
}

void ReportDrawingPath(DrawingPath path, const std::string& driver, GpuDevice gpu,
                       const std::string& renderer, const std::string& glRenderer,
                       const std::vector<std::string>& passedOver)
{
    static const char* const devices[] = {"present", "absent", "unknown"};
    std::string before;
    for (const std::string& step : passedOver) {
        before += "; passed over " + step;
    }
    std::printf("timing: drawing path %s%s (video driver %s, GPU device %s, renderer \"%s\", "
                "OpenGL \"%s\"%s)\n",
                DrawingPathName(path), ForcedDrawingPath() != nullptr ? ", forced" : "",
                driver.c_str(), devices[static_cast<int>(gpu)], renderer.c_str(),
                glRenderer.c_str(), before.c_str());
    std::fflush(stdout);
}

#else

const DrawingPath* ForcedDrawingPath()
{
    return nullptr;
}

int ForcedHighDpi()
{
    return -1;
}

void ReportDrawingPath(DrawingPath, const std::string&, GpuDevice, const std::string&,
                       const std::string&, const std::vector<std::string>&)
{
}

#endif
