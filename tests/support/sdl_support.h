// SDL bring-up for tests: dummy video driver, a 1920 x 1080 window with a
// software renderer (logical size 1920 x 1080, so logical pixels are window
// pixels), the three game fonts and the mixer on the dummy audio driver.
#pragma once

#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sdltest {

// $VORLUNE_RUN_DIR (the build's run directory with NegativeSpace.ttf).
std::string RunDir();

// Starts SDL and fills Window, Renderer, gFont[1..3]; opens the mixer.
// Returns false (with a reason in `why`) when any of it cannot be had.
bool StartMedia(std::string* why);

// Undoes StartMedia or iniSDL: drops the text caches, destroys Images,
// frees Sounds and Music, closes pads, fonts, mixer, renderer and window and
// quits SDL. Safe to call when nothing was started.
void StopMedia();

// Fixture: fresh globals and a running media layer for every test.
class MediaTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// A fresh directory made the working directory until destruction, then
// removed with its contents and the old working directory restored.
class TempWorkDir {
  public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

// Writes bytes to a file (created or replaced).
void WriteFile(const std::string& path, const std::string& content);

// A w x h BMP of one colour.
bool WriteBmp(const std::string& path, int w, int h, Uint8 red, Uint8 green, Uint8 blue);

// A 16-bit stereo 44100 Hz PCM WAV file of `ms` milliseconds of a quiet tone.
bool WriteWav(const std::string& path, int ms);

// The colour of one pixel of the renderer's current target (window pixels).
SDL_Color ReadPixel(int x, int y);

// A texture of one colour, w x h, for Renderer.
SDL_Texture* SolidTexture(int w, int h, Uint8 red, Uint8 green, Uint8 blue);

// The whole target as ARGB8888 pixels, row by row.
std::vector<Uint32> ReadFrame(int w, int h);

// Watches the heap of SDL and its libraries (SDL_ttf's surfaces included)
// through SDL's memory functions while it exists: the largest single request
// and the peak of the bytes held, counted from the watch's start or Restart.
class SdlHeapWatch {
  public:
    SdlHeapWatch();
    ~SdlHeapWatch();
    SdlHeapWatch(const SdlHeapWatch&) = delete;
    SdlHeapWatch& operator=(const SdlHeapWatch&) = delete;
    void Restart();
    // Bytes of the largest request (granted or not) since the restart.
    size_t LargestRequest() const;
    // Most bytes held at once beyond those held at the restart.
    long long PeakGrowth() const;

  private:
    SDL_malloc_func malloc_ = nullptr;
    SDL_calloc_func calloc_ = nullptr;
    SDL_realloc_func realloc_ = nullptr;
    SDL_free_func free_ = nullptr;
};

} // namespace sdltest
