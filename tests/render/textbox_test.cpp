#include "render/graphics.h"
#include "render/textbox.h"
#include "screens/highscore.h"
#include "screens/menu.h"
#include "screens/tutorial.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/prompts.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <vector>

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

// Texts have no length limit (a name grows a letter at a time, a score file
// may hold 65536 characters a name): only what can show on the screen is
// rendered, and it looks as SDL_ttf draws the whole text, in every font and
// at the wrap widths the screens use, with words and unbroken runs.
TEST_F(TextBoxTest, LongTextsShowAsTheWholeTextWouldInTheField)
{
    const struct {
        int font;
        size_t chars;
    } cases[] = {{1, 6000}, {2, 30000}, {3, 1500}};
    for (const auto& c : cases) {
        for (const int wrap : {9000, 1400}) {
            // Long enough for a few lines more than the screen holds. A new
            // wrap width shows with a new text only.
            const size_t chars = c.chars * static_cast<size_t>(wrap) / 9000 + 300;
            std::string text = std::to_string(wrap) + " ";
            while (text.size() < chars) {
                text += text.size() % 3 == 0 ? "Wolkenkratzer jgpq Hallo-Welt " : "ab ";
                if (text.size() > chars / 2 && text.size() < chars / 2 + 40) {
                    text += std::string(300, 'W') + " ";
                }
            }
            text.resize(chars);
            Boxes[7].Text = text;
            Boxes[7].Font = c.font;
            Boxes[7].Wrap = wrap;
            Stack.Clear();
            ShowBox(0, 0, 7);
            GraphicFrame();
            const std::vector<Uint32> got = sdltest::ReadFrame(1920, 1080);

            SDL_Surface* whole = TTF_RenderText_Blended_Wrapped(
                gFont[c.font], text.c_str(), SDL_Color{0, 0, 0, 255}, static_cast<Uint32>(wrap));
            ASSERT_NE(whole, nullptr) << TTF_GetError();
            ASSERT_GT(whole->h, 1080)
                << "the text must be longer than the screen: font " << c.font << ", wrap " << wrap;
            SDL_Texture* texture = SDL_CreateTextureFromSurface(Renderer, whole);
            ASSERT_NE(texture, nullptr) << SDL_GetError();
            const SDL_Rect all{0, 0, whole->w, whole->h};
            SDL_FreeSurface(whole);
            SDL_SetRenderDrawColor(Renderer, 255, 255, 255, 255);
            SDL_RenderClear(Renderer);
            SDL_RenderCopy(Renderer, texture, nullptr, &all);
            SDL_DestroyTexture(texture);
            const std::vector<Uint32> want = sdltest::ReadFrame(1920, 1080);
            size_t differ = 0;
            for (size_t i = 0; i < got.size(); ++i) {
                differ += got[i] != want[i] ? 1 : 0;
            }
            EXPECT_EQ(differ, 0u) << "font " << c.font << ", wrap " << wrap;
        }
    }
}

TEST_F(TextBoxTest, NameOfAMillionLettersCostsAScreenNotTheName)
{
    IniEnterHighScore(1);
    EnteredName = std::string(1000000, 'W');
    NameEntryRules();
    sdltest::SdlHeapWatch heap;
    GraphicFrame();
    std::cout << "largest SDL request " << heap.LargestRequest() << " B, SDL heap peak "
              << heap.PeakGrowth() << " B\n";
    EXPECT_LE(heap.LargestRequest(), 64u << 20);
    EXPECT_LE(heap.PeakGrowth(), 128LL << 20);
    EXPECT_GT(DarkPixels(300, 400, 1600, 100), 100) << "the name shows";
}

// Every text of every screen, laid out by the screens themselves and
// rendered as the text boxes render it, must stay inside the 1920 x 1080
// field, and the font must hold each character the screens can show.
class ScreenTextFit : public MediaTest {
  protected:
    // Pixels by which the ink of the carriers now in `Stack` leaves the
    // field; `limit` is the cut accepted for carriers at or below `fromY`.
    void ExpectInside(const std::string& screen, int limit = 0, float fromY = 2000)
    {
        for (int i = 1; i <= Stack.Count; ++i) {
            const Object& carrier = Stack.Slots[i];
            if (carrier.Box <= 0 || carrier.Box >= 50) {
                continue;
            }
            const TextBox& box = Boxes[carrier.Box];
            if (box.Text.empty()) {
                continue;
            }
            ASSERT_TRUE(box.Font >= 1 && box.Font <= 3) << screen;
            for (const char c : box.Text) {
                EXPECT_TRUE(TTF_GlyphIsProvided(gFont[box.Font], static_cast<unsigned char>(c)))
                    << screen << ": no glyph for '" << c << "'";
            }
            // The same call as TextBox::CalcMe.
            SDL_Surface* rendered = TTF_RenderText_Blended_Wrapped(
                gFont[box.Font], box.Text.c_str(), SDL_Color{0, 0, 0, 255},
                static_cast<Uint32>(std::max(box.Wrap, 0)));
            ASSERT_NE(rendered, nullptr) << screen << ": " << TTF_GetError();
            SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
            SDL_FreeSurface(rendered);
            ASSERT_NE(argb, nullptr);
            int left = argb->w, right = -1, top = argb->h, bottom = -1;
            for (int y = 0; y < argb->h; ++y) {
                const auto* row = reinterpret_cast<const Uint32*>(
                    static_cast<const Uint8*>(argb->pixels) + y * argb->pitch);
                for (int x = 0; x < argb->w; ++x) {
                    if ((row[x] >> 24) != 0) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
                }
            }
            SDL_FreeSurface(argb);
            if (right < 0) {
                continue;
            }
            const int x = static_cast<int>(carrier.X);
            const int y = static_cast<int>(carrier.Y);
            const int cut =
                std::max({-(x + left), -(y + top), x + right - 1919, y + bottom - 1079});
            const int allowed = carrier.Y >= fromY ? limit : 0;
            EXPECT_LE(cut, allowed) << screen << ": \"" << box.Text << "\" at (" << x << ", " << y
                                    << ") leaves the field by " << cut << " px";
            worst_ = std::max(worst_, cut);
        }
    }

    int worst_ = -10000;
};

TEST_F(ScreenTextFit, EveryScreenTextStaysInsideTheField)
{
    // The 54 characters of the name entry.
    for (const char c : ABC) {
        EXPECT_TRUE(TTF_GlyphIsProvided(gFont[1], static_cast<unsigned char>(c))) << c;
    }

    // Start-up: warning, title with the credits, main menu, options.
    Mode = 2;
    for (const int countdown : {4000, 2000, 0}) {
        FreshStart = countdown;
        IniMenu(false);
        ExpectInside("menu screen at countdown " + std::to_string(countdown));
    }
    FullScreen = false;
    Tutorial = false;
    IniMenu(true);
    MenuSection();
    ExpectInside("options");

    // The keyboard notice and the controller set-up prompts.
    Stack.Clear();
    Mode = 3;
    Keyboard = true;
    GoDef = true;
    SetupSection();
    ExpectInside("keyboard notice");
    Stack.Clear();
    Keyboard = false;
    for (int step = 1; step <= 7; ++step) {
        DefPad = step;
        GoDef = true;
        SetupSection();
        ExpectInside("set-up prompt " + std::to_string(step));
    }

    // The four tutorial messages.
    Mode = 1;
    Tutorial = true;
    for (int step = 1; step <= 4; ++step) {
        Stack.Clear();
        ShowTutorial(step);
        ExpectInside("tutorial step " + std::to_string(step));
    }

    // The high-score lists of Blue Mode at level 3 (the longest title),
    // full of twelve-character names and seven-digit scores: low letters
    // with descenders, then the widest capitals. The shipped font's
    // descenders and figures reach below the field in place 10 (Y 1000,
    // 96 points): by up to 11 px.
    KCodeOn = true;
    Table = 3;
    for (const char* name : {"jgjpqyjgjpqy", "WWWWWWWWWWWW", "MQ-gjpqyWMQy"}) {
        for (int place = 1; place <= 10; ++place) {
            ScoreTableNamesB[3][place] = name;
            ScoreTableB[3][place] = 9999999;
        }
        IniHighScoreList();
        HighScoreListRefresh();
        ExpectInside(std::string("high-score list of ") + name, 11, 1000);
    }

    // The name entry with a twelve-character name and the letter on offer,
    // for pads and for the keyboard. Its help text's last line touches the
    // bottom edge by 1 px.
    for (const bool keys : {false, true}) {
        Keyboard = keys;
        for (const char* name : {"jgjpqyjgjpqy", "WWWWWWWWWWWW"}) {
            IniEnterHighScore(10);
            EnteredName = name;
            Zeiger = 22; // 'W'
            NameEntryRules();
            ExpectInside(std::string("name entry of ") + name + (keys ? " (keys)" : " (pad)"), 1,
                         700);
        }
    }
    std::cout << "deepest cut of a screen text: " << worst_ << " px\n";
}

} // namespace
