// Fixtures and helpers for the game-world, game-start and keyboard tests.
#pragma once

#include "world/globals.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

// Fresh globals, a fixed seed and the tutorial switched off, so that the
// hint screens don't pause play or add objects behind the test's back.
class WorldTest : public ::testing::Test {
  protected:
    void SetUp() override;
};

// A fresh, shootable, growing square as the spawner makes it.
Object MakeSquare(float x, float y, float size, int image = 2);

// A text carrier: no image, no size, not shootable, shows box `box`.
Object MakeCarrier(float x, float y, int box);

// Opens the mixer on SDL's dummy audio driver and puts short looping chunks
// into Sounds[1] (gun) and Sounds[2] (warning). Everything is undone on
// destruction, the previous Sounds entries included.
class DummyMixer {
  public:
    DummyMixer();
    ~DummyMixer();
    DummyMixer(const DummyMixer&) = delete;
    DummyMixer& operator=(const DummyMixer&) = delete;
    bool Ok() const { return opened_; }

  private:
    std::vector<Uint8> samples_;
    Mix_Chunk* gun_ = nullptr;
    Mix_Chunk* warning_ = nullptr;
    Mix_Chunk* saved_[3] = {};
    bool opened_ = false;
};

// A software renderer drawing into a memory surface; no display needed.
class SurfaceRenderer {
  public:
    SurfaceRenderer(int w, int h);
    ~SurfaceRenderer();
    SurfaceRenderer(const SurfaceRenderer&) = delete;
    SurfaceRenderer& operator=(const SurfaceRenderer&) = delete;
    SDL_Renderer* Get() const { return renderer_; }
    // Fills the surface with opaque black.
    void Wipe();
    // ARGB value of one pixel after the queued drawing has been flushed.
    uint32_t Pixel(int x, int y);
    // A texture of one solid ARGB colour.
    SDL_Texture* SolidTexture(int w, int h, uint32_t argb);

  private:
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
};
