#include "input/kcode.h"
#include "render/clipping.h"
#include "render/graphics.h"
#include "support/screens_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// The secret sequence: right, up, left, down, right, right, down, up.
constexpr int kSequence[8] = {4, 1, 3, 2, 4, 4, 2, 1};

void Enter(int steps)
{
    for (int i = 0; i < steps; ++i) {
        EnterKCode(kSequence[i]);
    }
}

class KCodeTest : public ScreensTest {};

// A window with a software renderer on the dummy video driver.
class BlueTexturesTest : public KCodeTest {
  protected:
    void SetUp() override
    {
        KCodeTest::SetUp();
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window_ = SDL_CreateWindow("test", 0, 0, 200, 200, 0);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        Renderer = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        ASSERT_NE(Renderer, nullptr) << SDL_GetError();
        ProcessRenderRequests(); // drop anything left by another test
        black_ =
            SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, 1, 1);
        Images[4] = black_;
    }

    void TearDown() override
    {
        for (int slot = 2; slot <= 4; ++slot) {
            DestroyPictureTexture(Images[slot]);
            Images[slot] = nullptr;
        }
        if (Renderer != nullptr) {
            ResetClipping(Renderer);
            SDL_DestroyRenderer(Renderer);
            Renderer = nullptr;
        }
        if (window_ != nullptr) {
            SDL_DestroyWindow(window_);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // The colour a texture shows when drawn.
    static SDL_Color Shown(SDL_Texture* texture)
    {
        SDL_SetRenderDrawColor(Renderer, 255, 255, 255, 255);
        SDL_RenderClear(Renderer);
        SDL_RenderCopy(Renderer, texture, nullptr, nullptr);
        Uint32 pixel = 0;
        SDL_Rect at{50, 50, 1, 1};
        SDL_RenderReadPixels(Renderer, &at, SDL_PIXELFORMAT_RGBA8888, &pixel, 4);
        return SDL_Color{Uint8(pixel >> 24), Uint8(pixel >> 16), Uint8(pixel >> 8), 255};
    }

    SDL_Window* window_ = nullptr;
    SDL_Texture* black_ = nullptr;
};

} // namespace

TEST_F(KCodeTest, WrongInputStartsOver)
{
    for (int step = 0; step < 8; ++step) {
        KCodeCount = 0;
        Enter(step);
        const int wrong = kSequence[step] % 4 + 1;
        EnterKCode(wrong);
        EXPECT_EQ(KCodeCount, 0) << "wrong input at step " << step + 1;
    }
    // A wrong input that is the first code is not itself a first step.
    Enter(1);
    ASSERT_NE(kSequence[1], kSequence[0]);
    EnterKCode(kSequence[0]);
    EXPECT_EQ(KCodeCount, 0);
    EXPECT_FALSE(KCodeOn);
}

TEST_F(BlueTexturesTest, SquaresTurnBlueOnceAndTheBlackStageStays)
{
    Enter(8);
    ASSERT_TRUE(KCodeOn);
    ProcessRenderRequests();
    for (int slot = 2; slot <= 3; ++slot) {
        ASSERT_NE(Images[slot], nullptr);
        int w = 0;
        int h = 0;
        SDL_QueryTexture(Images[slot], nullptr, nullptr, &w, &h);
        EXPECT_EQ(w, 100);
        EXPECT_EQ(h, 100);
    }
    const SDL_Color fresh = Shown(Images[2]);
    const SDL_Color dark = Shown(Images[3]);
    EXPECT_EQ(fresh.r, 0);
    EXPECT_EQ(fresh.g, 0);
    EXPECT_EQ(fresh.b, 255);
    EXPECT_EQ(dark.r, 0);
    EXPECT_EQ(dark.g, 0);
    EXPECT_EQ(dark.b, 51);
    EXPECT_EQ(Images[4], black_);

    // Entering the whole sequence again changes nothing. (The input after
    // the last step starts the counter over.)
    SDL_Texture* blue = Images[2];
    EnterKCode(1);
    ASSERT_EQ(KCodeCount, 0);
    Enter(8);
    EXPECT_EQ(KCodeCount, 8);
    EXPECT_FALSE(ProcessRenderRequests()) << "the blue squares were made again";
    EXPECT_EQ(Images[2], blue);
    EXPECT_TRUE(KCodeOn);
}

TEST_F(KCodeTest, MenuKeysFeedTheirDirectionsAndTheEighthSwitchesBlueModeOn)
{
    // From the main menu, by the keys: D (right, to list 1), W (up), A (left,
    // back to the menu), S (down), D, D (lists 1, 2), S, W.
    Keyboard = true;
    OpenMainMenu();
    const int keys[8] = {4, 1, 3, 2, 4, 4, 2, 1};
    for (int step = 0; step < 8; ++step) {
        EXPECT_FALSE(KCodeOn) << "step " << step + 1;
        TapKey(keys[step]);
        EXPECT_EQ(KCodeCount, step + 1) << "step " << step + 1;
    }
    EXPECT_TRUE(KCodeOn);
    EXPECT_EQ(Mode, 4);
    EXPECT_EQ(Table, 2);
    ProcessRenderRequests(); // no renderer: only drops the request
}
