#include "render/graphics.h"
#include "render/textbox.h"
#include "support/sdl_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

using sdltest::MediaTest;
using sdltest::ReadPixel;

class TextBoxTest : public MediaTest {
  protected:
    void SetUp() override
    {
        MediaTest::SetUp();
        Boxes[7].Text = "Hallo";
        Boxes[7].Color = SDL_Color{0, 0, 0, 0};
        Boxes[7].Font = 2;
    }

    static void ShowBox(float x, float y, int box)
    {
        Object carrier;
        carrier.X = x;
        carrier.Y = y;
        carrier.Box = box;
        Stack.Create(carrier);
    }

    static long Renders() { return TextRenderCount.load(); }

    // Number of pixels darker than mid grey in a w x h area (white background).
    static int DarkPixels(int x0, int y0, int w, int h)
    {
        int dark = 0;
        for (int y = y0; y < y0 + h; y += 2) {
            for (int x = x0; x < x0 + w; x += 2) {
                if (ReadPixel(x, y).r < 128) {
                    ++dark;
                }
            }
        }
        return dark;
    }
};

TEST_F(TextBoxTest, UnchangedBoxRendersOnceAcrossFrames)
{
    ShowBox(100, 100, 7);
    const long before = Renders();
    for (int i = 0; i < 100; ++i) {
        GraphicFrame();
    }
    EXPECT_EQ(Renders() - before, 1);
}

TEST_F(TextBoxTest, ColourFontAndTextChangesRenderAgainWrapDoesNot)
{
    ShowBox(100, 100, 7);
    GraphicFrame();
    long before = Renders();

    Boxes[7].Color.r = 1;
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 1) << "red byte";

    before = Renders();
    Boxes[7].Color.a = 200;
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 1) << "alpha byte";

    before = Renders();
    Boxes[7].Wrap = 50;
    GraphicFrame();
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 0) << "wrap only";

    before = Renders();
    Boxes[7].Font = 1;
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 1) << "font";

    before = Renders();
    Boxes[7].Text = "Welt";
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 1) << "text";

    // Changed and changed back between two frames: nothing new to render.
    before = Renders();
    Boxes[7].Text = "Anders";
    Boxes[7].Text = "Welt";
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 0) << "text set back";
}

TEST_F(TextBoxTest, TwoCarriersOfOneBoxRenderItOnce)
{
    ShowBox(100, 100, 7);
    ShowBox(900, 500, 7);
    const long before = Renders();
    GraphicFrame();
    GraphicFrame();
    EXPECT_EQ(Renders() - before, 1);
    EXPECT_GT(DarkPixels(100, 100, 200, 80), 0);
    EXPECT_GT(DarkPixels(900, 500, 200, 80), 0);
}

TEST_F(TextBoxTest, TextIsOpaqueDespiteZeroAlphaAndEmptyOrFontlessBoxesDrawNothing)
{
    ShowBox(100, 100, 7);
    GraphicFrame();
    EXPECT_GT(DarkPixels(100, 100, 200, 80), 20);

    Boxes[7].Text = "";
    GraphicFrame();
    EXPECT_EQ(DarkPixels(100, 100, 300, 150), 0);

    // Font numbers without a font, or outside the table, draw nothing.
    for (int font : {0, 4, 5, -1, 1000000}) {
        Boxes[7].Text = "Hallo";
        Boxes[7].Font = font;
        GraphicFrame();
        EXPECT_EQ(DarkPixels(100, 100, 300, 150), 0) << "font " << font;
    }
}

TEST_F(TextBoxTest, WrapBreaksTheTextIntoLines)
{
    Boxes[7].Text = "Eins zwei drei vier";
    Boxes[7].Wrap = 9000;
    Boxes[7].CalcMe();
    ASSERT_NE(Boxes[7].Texture, nullptr);
    int wide = 0;
    int high = 0;
    SDL_QueryTexture(Boxes[7].Texture, nullptr, nullptr, &wide, &high);

    // A new wrap width shows with the next change of the text.
    Boxes[7].Wrap = 150;
    Boxes[7].Text = "Eins zwei drei vier ";
    Boxes[7].CalcMe();
    ASSERT_NE(Boxes[7].Texture, nullptr);
    int w = 0;
    int h = 0;
    SDL_QueryTexture(Boxes[7].Texture, nullptr, nullptr, &w, &h);
    EXPECT_LT(w, wide);
    EXPECT_GT(h, high);
}

} // namespace
