#include "world_support.h"

#include "render/clipping.h"

#include <cstdlib>

void WorldTest::SetUp()
{
    ResetGlobals();
    Tutorial = false;
    srand(12345);
}

Object MakeSquare(float x, float y, float size, int image)
{
    Object o;
    o.Image = image;
    o.X = x;
    o.Y = y;
    o.FrameW = 100;
    o.FrameH = 100;
    o.W = size;
    o.H = size;
    o.Shootable = true;
    o.Grow = 1.005f;
    o.Layer = 1;
    return o;
}

Object MakeCarrier(float x, float y, int box)
{
    Object o;
    o.X = x;
    o.Y = y;
    o.Box = box;
    o.Layer = 5;
    return o;
}

DummyMixer::DummyMixer()
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return;
    }
    if (Mix_OpenAudio(22050, AUDIO_S16SYS, 2, 512) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    opened_ = true;
    // Half a second of a quiet square wave; looped, it plays until halted.
    samples_.resize(22050 * 2 * 2);
    for (size_t i = 0; i < samples_.size(); ++i) {
        samples_[i] = (i / 200) % 2 != 0 ? 0x10 : 0x00;
    }
    gun_ = Mix_QuickLoad_RAW(samples_.data(), static_cast<Uint32>(samples_.size()));
    warning_ = Mix_QuickLoad_RAW(samples_.data(), static_cast<Uint32>(samples_.size()));
    saved_[1] = Sounds[1];
    saved_[2] = Sounds[2];
    Sounds[1] = gun_;
    Sounds[2] = warning_;
}

DummyMixer::~DummyMixer()
{
    if (!opened_) {
        return;
    }
    Mix_HaltChannel(-1);
    // The mixer keeps its channel count across a close; with no channels
    // left, later channel calls on the closed mixer stay harmless.
    Mix_AllocateChannels(0);
    Sounds[1] = saved_[1];
    Sounds[2] = saved_[2];
    Mix_FreeChunk(gun_);
    Mix_FreeChunk(warning_);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SurfaceRenderer::SurfaceRenderer(int w, int h)
{
    surface_ = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface_ != nullptr) {
        renderer_ = SDL_CreateSoftwareRenderer(surface_);
    }
}

SurfaceRenderer::~SurfaceRenderer()
{
    if (renderer_ != nullptr) {
        ResetClipping(renderer_);
        SDL_DestroyRenderer(renderer_);
    }
    if (surface_ != nullptr) {
        SDL_FreeSurface(surface_);
    }
}

void SurfaceRenderer::Wipe()
{
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
}

uint32_t SurfaceRenderer::Pixel(int x, int y)
{
    SDL_RenderFlush(renderer_);
    const auto* row = static_cast<const uint8_t*>(surface_->pixels) + y * surface_->pitch;
    return reinterpret_cast<const uint32_t*>(row)[x];
}

SDL_Texture* SurfaceRenderer::SolidTexture(int w, int h, uint32_t argb)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s == nullptr) {
        return nullptr;
    }
    SDL_FillRect(s, nullptr, argb);
    SDL_Texture* t = SDL_CreateTextureFromSurface(renderer_, s);
    SDL_FreeSurface(s);
    return t;
}
