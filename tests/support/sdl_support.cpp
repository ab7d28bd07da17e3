#include "sdl_support.h"

#include "render/clipping.h"
#include "render/graphics.h"

#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>

namespace sdltest {

std::string RunDir()
{
    const char* dir = std::getenv("VORLUNE_RUN_DIR");
    return dir != nullptr ? dir : ".";
}

bool StartMedia(std::string* why)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *why = std::string("SDL_Init: ") + SDL_GetError();
        return false;
    }
    Window = SDL_CreateWindow("Vorlune", 0, 0, 1920, 1080, SDL_WINDOW_HIDDEN);
    if (Window == nullptr) {
        *why = std::string("window: ") + SDL_GetError();
        return false;
    }
    Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
    if (Renderer == nullptr) {
        *why = std::string("renderer: ") + SDL_GetError();
        return false;
    }
    SDL_RenderSetLogicalSize(Renderer, 1920, 1080);
    if (TTF_Init() != 0) {
        *why = std::string("TTF_Init: ") + TTF_GetError();
        return false;
    }
    const std::string font = RunDir() + "/NegativeSpace.ttf";
    gFont[1] = TTF_OpenFont(font.c_str(), 96);
    gFont[2] = TTF_OpenFont(font.c_str(), 40);
    gFont[3] = TTF_OpenFont(font.c_str(), 250);
    if (gFont[1] == nullptr || gFont[2] == nullptr || gFont[3] == nullptr) {
        *why = "font " + font + ": " + TTF_GetError();
        return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) != 0) {
        *why = std::string("Mix_OpenAudio: ") + Mix_GetError();
        return false;
    }
    return true;
}

void StopMedia()
{
    // Textures belong to the renderer: drop every cached pointer while it
    // still exists, so no later test draws a dangling texture.
    if (Renderer != nullptr) {
        ResetRenderCaches();
        for (SDL_Texture*& image : Images) {
            DestroyPictureTexture(image);
        }
    }
    for (SDL_Texture*& image : Images) {
        image = nullptr;
    }
    texturesUsed = 0;

    if (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
    }
    for (Mix_Chunk*& chunk : Sounds) {
        if (chunk != nullptr) {
            Mix_FreeChunk(chunk);
            chunk = nullptr;
        }
    }
    for (Mix_Music*& music : Music) {
        if (music != nullptr) {
            Mix_FreeMusic(music);
            music = nullptr;
        }
    }
    while (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
        Mix_CloseAudio();
    }

    for (int i = 0; i < Padnumber; ++i) {
        if (ControllerHaptic[i] != nullptr) {
            SDL_HapticClose(ControllerHaptic[i]);
            ControllerHaptic[i] = nullptr;
        }
        if (Pad1[i] != nullptr) {
            SDL_JoystickClose(Pad1[i]);
            Pad1[i] = nullptr;
        }
    }
    if (controller != nullptr) {
        SDL_GameControllerClose(controller);
        controller = nullptr;
    }

    for (TTF_Font*& font : gFont) {
        if (font != nullptr) {
            TTF_CloseFont(font);
            font = nullptr;
        }
    }
    while (TTF_WasInit() != 0) {
        TTF_Quit();
    }

    if (Renderer != nullptr) {
        SDL_DestroyRenderer(Renderer);
        Renderer = nullptr;
    }
    if (Window != nullptr) {
        SDL_DestroyWindow(Window);
        Window = nullptr;
    }
    DMode = SDL_DisplayMode{};
    SDL_Quit();
}

void MediaTest::SetUp()
{
    ResetGlobals();
    std::string why;
    if (!StartMedia(&why)) {
        StopMedia();
        FAIL() << "media layer did not start: " << why;
    }
}

void MediaTest::TearDown()
{
    StopMedia();
}

TempWorkDir::TempWorkDir()
{
    namespace fs = std::filesystem;
    previous_ = fs::current_path().string();
    // A new directory of its own (create_directory fails on an existing one).
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path dir =
            fs::temp_directory_path() / ("vorlune-sdl-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) {
            path_ = dir.string();
            fs::current_path(path_);
        }
    }
}

TempWorkDir::~TempWorkDir()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(previous_, ec);
    if (!path_.empty()) {
        fs::remove_all(path_, ec);
    }
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool WriteBmp(const std::string& path, int w, int h, Uint8 red, Uint8 green, Uint8 blue)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (surface == nullptr) {
        return false;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, red, green, blue));
    bool ok = SDL_SaveBMP(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

namespace {

void Put16(std::string& s, uint16_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& s, uint32_t v)
{
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

} // namespace

bool WriteWav(const std::string& path, int ms)
{
    const uint32_t rate = 44100;
    const uint32_t frames = rate * static_cast<uint32_t>(ms) / 1000;
    const uint32_t dataBytes = frames * 4;
    std::string s = "RIFF";
    Put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1); // PCM
    Put16(s, 2); // stereo
    Put32(s, rate);
    Put32(s, rate * 4);
    Put16(s, 4);
    Put16(s, 16);
    s += "data";
    Put32(s, dataBytes);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint16_t sample = (i / 50) % 2 != 0 ? 0x0400 : 0xFC00;
        Put16(s, sample);
        Put16(s, sample);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << s;
    return static_cast<bool>(out);
}

SDL_Color ReadPixel(int x, int y)
{
    Uint32 pixel = 0;
    SDL_Rect rect{x, y, 1, 1};
    SDL_Color c{0, 0, 0, 0};
    if (SDL_RenderReadPixels(Renderer, &rect, SDL_PIXELFORMAT_ARGB8888, &pixel, 4) != 0) {
        ADD_FAILURE() << "SDL_RenderReadPixels: " << SDL_GetError();
        return c;
    }
    c.a = static_cast<Uint8>(pixel >> 24);
    c.r = static_cast<Uint8>(pixel >> 16);
    c.g = static_cast<Uint8>(pixel >> 8);
    c.b = static_cast<Uint8>(pixel);
    return c;
}

SDL_Texture* SolidTexture(int w, int h, Uint8 red, Uint8 green, Uint8 blue)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        return nullptr;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, red, green, blue, 255));
    SDL_Texture* texture = SDL_CreateTextureFromSurface(Renderer, surface);
    SDL_FreeSurface(surface);
    return texture;
}

std::vector<Uint32> ReadFrame(int w, int h)
{
    std::vector<Uint32> pixels(static_cast<size_t>(w) * h);
    const SDL_Rect all{0, 0, w, h};
    if (SDL_RenderReadPixels(Renderer, &all, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4) != 0) {
        ADD_FAILURE() << "SDL_RenderReadPixels: " << SDL_GetError();
    }
    return pixels;
}

namespace {

std::atomic<long long> HeapHeld{0};
std::atomic<long long> HeapBase{0};
std::atomic<long long> HeapPeak{0};
std::atomic<size_t> HeapLargest{0};

size_t Usable(void* p)
{
#ifdef _WIN32
    return p != nullptr ? _msize(p) : 0;
#else
    return malloc_usable_size(p);
#endif
}

void Note(size_t request, void* granted)
{
    size_t largest = HeapLargest.load();
    while (request > largest && !HeapLargest.compare_exchange_weak(largest, request)) {
    }
    const long long held = HeapHeld += static_cast<long long>(Usable(granted));
    long long peak = HeapPeak.load();
    while (held > peak && !HeapPeak.compare_exchange_weak(peak, held)) {
    }
}

// SDL allocates with the C library's functions (so do these), and memory
// taken before the watch may be given back while it runs.
void* SDLCALL WatchMalloc(size_t n)
{
    void* p = std::malloc(n);
    Note(n, p);
    return p;
}

void* SDLCALL WatchCalloc(size_t n, size_t size)
{
    void* p = std::calloc(n, size);
    Note(n * size, p);
    return p;
}

void* SDLCALL WatchRealloc(void* old, size_t n)
{
    const size_t before = Usable(old);
    void* p = std::realloc(old, n);
    if (p != nullptr || n == 0) {
        HeapHeld -= static_cast<long long>(before);
    }
    Note(n, p);
    return p;
}

void SDLCALL WatchFree(void* p)
{
    HeapHeld -= static_cast<long long>(Usable(p));
    std::free(p);
}

} // namespace

SdlHeapWatch::SdlHeapWatch()
{
    SDL_GetMemoryFunctions(&malloc_, &calloc_, &realloc_, &free_);
    SDL_SetMemoryFunctions(WatchMalloc, WatchCalloc, WatchRealloc, WatchFree);
    Restart();
}

SdlHeapWatch::~SdlHeapWatch()
{
    SDL_SetMemoryFunctions(malloc_, calloc_, realloc_, free_);
}

void SdlHeapWatch::Restart()
{
    HeapBase = HeapHeld.load();
    HeapPeak = HeapHeld.load();
    HeapLargest = 0;
}

size_t SdlHeapWatch::LargestRequest() const
{
    return HeapLargest.load();
}

long long SdlHeapWatch::PeakGrowth() const
{
    return HeapPeak.load() - HeapBase.load();
}

} // namespace sdltest
