#include "render/graphics.h"
#include "support/sdl_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <thread>

namespace {

using sdltest::MediaTest;
using sdltest::ReadPixel;
using sdltest::SolidTexture;

class DrawingTest : public MediaTest {
  protected:
    static Object Square(int image, float x, float y, float size, int layer)
    {
        Object o;
        o.Image = image;
        o.X = x;
        o.Y = y;
        o.FrameW = 100;
        o.FrameH = 100;
        o.W = size;
        o.H = size;
        o.Layer = layer;
        return o;
    }
};

void ExpectColor(SDL_Color c, int red, int green, int blue, const char* what)
{
    EXPECT_EQ(c.r, red) << what;
    EXPECT_EQ(c.g, green) << what;
    EXPECT_EQ(c.b, blue) << what;
}

TEST_F(DrawingTest, BackgroundColourBlueModeSwapAndKeptColourAtZeroGreen)
{
    r = 255;
    g = 120;
    b = 120;
    GraphicFrame();
    ExpectColor(ReadPixel(10, 10), 255, 120, 120, "normal");
    ExpectColor(ReadPixel(1910, 1070), 255, 120, 120, "far corner");

    KCodeOn = true;
    GraphicFrame();
    ExpectColor(ReadPixel(10, 10), 120, 120, 255, "blue mode");

    KCodeOn = false;
    GraphicFrame();
    g = 0;
    b = 0;
    r = 10;
    GraphicFrame();
    ExpectColor(ReadPixel(10, 10), 255, 120, 120, "g at 0 keeps the last colour");
    g = -15;
    GraphicFrame();
    ExpectColor(ReadPixel(10, 10), 255, 120, 120, "g below 0 keeps the last colour");

    // Components are taken as their low 8 bits.
    r = 0x1FF;
    g = 0x102;
    b = 0x7;
    GraphicFrame();
    ExpectColor(ReadPixel(10, 10), 0xFF, 0x02, 0x07, "low bits");
}

TEST_F(DrawingTest, InterfaceLiesAboveStackAndLayersOrderEachPool)
{
    Images[1] = SolidTexture(100, 100, 255, 0, 0);
    Images[2] = SolidTexture(100, 100, 0, 255, 0);
    Images[3] = SolidTexture(100, 100, 0, 0, 255);

    // Interface on layer 0 over Stack on layer 5.
    Stack.Create(Square(2, 0, 0, 200, 5));
    interface.Create(Square(1, 0, 0, 100, 0));
    // Inside one pool: the higher layer wins over slot order ...
    Stack.Create(Square(2, 500, 500, 100, 4));
    Stack.Create(Square(3, 500, 500, 100, 2));
    // ... and within a layer the later slot is drawn last.
    Stack.Create(Square(2, 800, 500, 100, 1));
    Stack.Create(Square(3, 800, 500, 100, 1));
    // Layers outside 0..5 are never drawn.
    Stack.Create(Square(3, 1200, 500, 100, 6));
    Stack.Create(Square(3, 1400, 500, 100, -1));

    GraphicFrame();
    ExpectColor(ReadPixel(50, 50), 255, 0, 0, "interface over stack");
    ExpectColor(ReadPixel(150, 150), 0, 255, 0, "stack outside the crosshair");
    ExpectColor(ReadPixel(550, 550), 0, 255, 0, "layer 4 over layer 2");
    ExpectColor(ReadPixel(850, 550), 0, 0, 255, "later slot on the same layer");
    ExpectColor(ReadPixel(1250, 550), 255, 255, 255, "layer 6");
    ExpectColor(ReadPixel(1450, 550), 255, 255, 255, "layer -1");
}

TEST_F(DrawingTest, FrameShowsThePoolsAsTheyStoodAtTheSnapshot)
{
    Images[2] = SolidTexture(100, 100, 0, 255, 0);
    Stack.Create(Square(2, 0, 0, 100, 3));
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    // Changes after the snapshot wait for the next frame.
    Stack.Clear();
    r = 0;
    DrawFrameSnapshot();
    ExpectColor(ReadPixel(50, 50), 0, 255, 0, "snapshot square");
    ExpectColor(ReadPixel(500, 500), 255, 255, 255, "snapshot colour");
    GraphicFrame();
    ExpectColor(ReadPixel(50, 50), 0, 255, 255, "after the next snapshot");
}

TEST_F(DrawingTest, SnapshotTellsWhetherAnythingShownHasChanged)
{
    auto snapshotChanged = [] {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
        return FrameSnapshotChanged();
    };
    Stack.Create(Square(2, 10, 10, 50, 1));
    Boxes[3].Text = "Start Game";
    snapshotChanged();
    EXPECT_FALSE(snapshotChanged()) << "nothing changed";

    Stack.Slots[1].W = 51.0f;
    EXPECT_TRUE(snapshotChanged()) << "a square grew";
    EXPECT_FALSE(snapshotChanged());
    Stack.Slots[1].AgeTimer = 77;
    EXPECT_FALSE(snapshotChanged()) << "a timer is not drawn";
    Boxes[3].Color = SDL_Color{255, 0, 0, 0};
    EXPECT_TRUE(snapshotChanged()) << "highlight colour";
    Boxes[3].Text = "Exit";
    EXPECT_TRUE(snapshotChanged()) << "label text";
    g = 200;
    EXPECT_TRUE(snapshotChanged()) << "background";
    interface.Create(Square(1, 0, 0, 100, 3));
    EXPECT_TRUE(snapshotChanged()) << "crosshair appeared";
    EXPECT_FALSE(snapshotChanged());
}

TEST_F(DrawingTest, CreateScreenCoversThePlayfieldWithTheTopLeftOfImage5)
{
    // 200 x 200: the top-left quarter is blue, the rest yellow.
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, 200, 200, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 255, 255, 0, 255));
    SDL_Rect quarter{0, 0, 100, 100};
    SDL_FillRect(surface, &quarter, SDL_MapRGBA(surface->format, 0, 0, 255, 255));
    Images[5] = SDL_CreateTextureFromSurface(Renderer, surface);
    SDL_FreeSurface(surface);

    createScreen();
    ASSERT_EQ(Stack.Count, 1);
    const Object& o = Stack.Slots[1];
    EXPECT_EQ(o.Image, 5);
    EXPECT_EQ(o.X, 0.0f);
    EXPECT_EQ(o.Y, 0.0f);
    EXPECT_EQ(o.FrameW, 100);
    EXPECT_EQ(o.FrameH, 100);
    EXPECT_EQ(o.W, 1920.0f);
    EXPECT_EQ(o.H, 1080.0f);
    EXPECT_EQ(o.Layer, 3);
    EXPECT_EQ(o.LifeTimer, 2);
    EXPECT_EQ(o.Box, 0);
    EXPECT_EQ(o.Grow, 0.0f);
    EXPECT_EQ(o.Speed, 0.0f);
    EXPECT_FALSE(o.Shootable);

    GraphicFrame();
    ExpectColor(ReadPixel(0, 0), 0, 0, 255, "top left");
    ExpectColor(ReadPixel(960, 540), 0, 0, 255, "centre");
    ExpectColor(ReadPixel(1919, 1079), 0, 0, 255, "bottom right");
}

TEST_F(DrawingTest, BlueTexturesReplaceSlots2And3OnTheGraphicsThread)
{
    SDL_Texture* red = SolidTexture(100, 100, 255, 0, 0);
    SDL_Texture* black = SolidTexture(100, 100, 0, 0, 0);
    Images[2] = red;
    Images[3] = SolidTexture(100, 100, 255, 0, 0);
    Images[4] = black;

    // Nothing requested: nothing changes.
    ProcessRenderRequests();
    EXPECT_EQ(Images[2], red);

    RequestBlueTextures();
    EXPECT_EQ(Images[2], red) << "the request alone creates no texture";
    ProcessRenderRequests();
    EXPECT_NE(Images[2], red);
    EXPECT_EQ(Images[4], black);
    for (int slot : {2, 3}) {
        int w = 0;
        int h = 0;
        ASSERT_EQ(SDL_QueryTexture(Images[slot], nullptr, nullptr, &w, &h), 0);
        EXPECT_EQ(w, 100);
        EXPECT_EQ(h, 100);
    }
    Stack.Create(Square(2, 0, 0, 100, 3));
    Stack.Create(Square(3, 200, 0, 100, 3));
    Stack.Create(Square(4, 400, 0, 100, 3));
    GraphicFrame();
    ExpectColor(ReadPixel(50, 50), 0, 0, 255, "fresh square");
    ExpectColor(ReadPixel(250, 50), 0, 0, 51, "darkened square");
    ExpectColor(ReadPixel(450, 50), 0, 0, 0, "black square");
}

TEST_F(DrawingTest, FrameCarriesOutPendingRequestsBeforeDrawing)
{
    Images[2] = SolidTexture(100, 100, 255, 0, 0);
    Stack.Create(Square(2, 0, 0, 100, 3));
    RequestBlueTextures();
    GraphicFrame();
    ExpectColor(ReadPixel(50, 50), 0, 0, 255, "same frame");
}

TEST_F(DrawingTest, GraphicHandlerReturnsOnceRunningIsCleared)
{
    running = false;
    EXPECT_EQ(GraphicHandler(nullptr), 0);

    running = true;
    Images[2] = SolidTexture(100, 100, 0, 255, 0);
    std::thread graphic([] { GraphicHandler(nullptr); });
    // Meanwhile the game changes the shared state under the lock.
    for (int i = 0; i < 20; ++i) {
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            Stack.Clear();
            Stack.Create(Square(2, static_cast<float>(i * 10), 0, 100, 3));
            Boxes[3].Text = i % 2 == 0 ? "eins" : "zwei";
            g = 255 - i;
        }
        SDL_Delay(5);
    }
    // Waits (a bounded time) until the thread's last snapshot did or did not
    // differ from the one before it.
    auto awaitSnapshot = [](bool changed) {
        for (int i = 0; i < 1000; ++i) {
            {
                std::lock_guard<std::mutex> lock(StateMutex);
                if (FrameSnapshotChanged() == changed) {
                    return;
                }
            }
            SDL_Delay(1);
        }
    };
    // Once the picture is steady, one more change: the thread presents it
    // in its next frame, not only at the next redraw of an unchanged picture.
    awaitSnapshot(false);
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        Stack.Clear();
        Stack.Create(Square(2, 1500, 800, 100, 3));
        g = b = 200;
    }
    awaitSnapshot(true);
    awaitSnapshot(false); // the frame of the change has been drawn
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        running = false;
    }
    graphic.join();
    ExpectColor(ReadPixel(1550, 850), 0, 255, 0, "square drawn by the thread");
    ExpectColor(ReadPixel(50, 50), 255, 200, 200, "background drawn by the thread");
}

} // namespace
