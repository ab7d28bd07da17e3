#include "input/keyboard.h"
#include "platform/media.h"
#include "render/clipping.h"
#include "render/graphics.h"
#include "render/images.h"
#include "screens/game.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/logic.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Every copy the game hands SDL, seen through wrappers the link step puts in
// between (GNU linker: Linux and MinGW-w64): how many pixels they cover and
// whether any reaches past the 1920 x 1080 field.
namespace copies {
long long pixels = 0;
int crossing = 0;
int calls = 0;

void Reset()
{
    pixels = 0;
    crossing = 0;
    calls = 0;
}

void Note(const SDL_Rect* dst)
{
    ++calls;
    if (dst == nullptr) {
        pixels += 1920LL * 1080;
        return;
    }
    pixels += static_cast<long long>(dst->w) * dst->h;
    if (dst->x < 0 || dst->y < 0 || static_cast<long long>(dst->x) + dst->w > 1920 ||
        static_cast<long long>(dst->y) + dst->h > 1080) {
        ++crossing;
    }
}
} // namespace copies

#ifdef VORLUNE_WRAPS_SDL
extern "C" {
int __real_SDL_RenderCopy(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* src,
                          const SDL_Rect* dst);
int __real_SDL_RenderCopyEx(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* src,
                            const SDL_Rect* dst, double angle, const SDL_Point* center,
                            SDL_RendererFlip flip);

int __wrap_SDL_RenderCopy(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* src,
                          const SDL_Rect* dst)
{
    copies::Note(dst);
    return __real_SDL_RenderCopy(renderer, texture, src, dst);
}

int __wrap_SDL_RenderCopyEx(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* src,
                            const SDL_Rect* dst, double angle, const SDL_Point* center,
                            SDL_RendererFlip flip)
{
    copies::Note(dst);
    return __real_SDL_RenderCopyEx(renderer, texture, src, dst, angle, center, flip);
}
}
#endif

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

// Squares far larger than the field, on SDL's software renderer.
class LargeSquares : public DrawingTest {
  protected:
    static constexpr long long WindowPixels = 1920LL * 1080;
    static constexpr long long WindowBytes = WindowPixels * 4;

    // A w x h picture painted texel by texel, with a pixel copy kept (as the
    // game's pictures) or without one (as text).
    template <typename Paint> static SDL_Texture* Painted(int w, int h, bool keepCopy, Paint paint)
    {
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (surface == nullptr) {
            return nullptr;
        }
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                                  y * surface->pitch);
            for (int x = 0; x < w; ++x) {
                row[x] = paint(x, y);
            }
        }
        SDL_Texture* texture = keepCopy ? CreatePictureTexture(Renderer, surface)
                                        : SDL_CreateTextureFromSurface(Renderer, surface);
        SDL_FreeSurface(surface);
        return texture;
    }

    // 100 x 100 texels of their own colour each (some half transparent), so
    // that a texel out of place shows.
    static SDL_Texture* Detailed(SDL_ScaleMode mode, bool seeThrough)
    {
        Uint32 seed = 12345;
        SDL_Texture* texture = Painted(100, 100, true, [&](int x, int y) {
            seed = seed * 1103515245u + 12345u;
            const Uint32 alpha = seeThrough && (x + y) % 7 == 0 ? 0x80u : 0xFFu;
            return (alpha << 24) | ((seed >> 8) & 0xFFFFFFu);
        });
        SDL_SetTextureScaleMode(texture, mode);
        return texture;
    }

    static SDL_Texture* GamePicture(const char* file)
    {
        SDL_Texture* texture = loadTexture(sdltest::RunDir() + "/media/" + file);
        // The game asks for linear scaling before it loads its pictures.
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
        return texture;
    }

    static Object At(int image, float cx, float cy, float size, int flip = 0)
    {
        Object o = Square(image, cx - size / 2, cy - size / 2, size, 1);
        o.Flip = flip;
        return o;
    }

    // A software renderer drawing into a w x h surface with the game's
    // logical field on it (as a full-screen window of that size), made the
    // Renderer while it lives; the pictures in Images are freed with it.
    class Screen {
      public:
        Screen(int w, int h) : w_(w), h_(h), saved_(Renderer)
        {
            surface_ = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
            renderer_ = surface_ != nullptr ? SDL_CreateSoftwareRenderer(surface_) : nullptr;
            if (renderer_ != nullptr) {
                FitFieldToOutput(renderer_);
                Renderer = renderer_;
            }
        }
        ~Screen()
        {
            if (renderer_ != nullptr) {
                for (SDL_Texture*& image : Images) {
                    DestroyPictureTexture(image);
                    image = nullptr;
                }
                ResetClipping(renderer_);
                SDL_DestroyRenderer(renderer_);
            }
            SDL_FreeSurface(surface_);
            Renderer = saved_;
        }
        Screen(const Screen&) = delete;
        Screen& operator=(const Screen&) = delete;
        bool Made() const { return renderer_ != nullptr; }
        std::vector<Uint32> Pixels() const
        {
            SDL_RenderFlush(renderer_);
            std::vector<Uint32> pixels(static_cast<size_t>(w_) * h_);
            SDL_ConvertPixels(w_, h_, surface_->format->format, surface_->pixels, surface_->pitch,
                              SDL_PIXELFORMAT_ARGB8888, pixels.data(), w_ * 4);
            return pixels;
        }

      private:
        int w_;
        int h_;
        SDL_Renderer* saved_;
        SDL_Surface* surface_ = nullptr;
        SDL_Renderer* renderer_ = nullptr;
    };

    // The pool drawn as SDL draws it when handed each copy whole.
    static void DrawAsSdl()
    {
        SDL_SetRenderDrawColor(Renderer, 255, 255, 255, 255);
        SDL_RenderClear(Renderer);
        for (int i = 1; i <= Stack.Count; ++i) {
            const Object& o = Stack.Slots[i];
            const SDL_Rect src{o.Frame * o.FrameW, 0, o.FrameW, o.FrameH};
            const SDL_Rect dst{TruncToInt(o.X), TruncToInt(o.Y), TruncToInt(o.W), TruncToInt(o.H)};
            SDL_RenderCopyEx(Renderer, Images[o.Image], &src, &dst, 0.0, nullptr,
                             static_cast<SDL_RendererFlip>(o.Flip));
        }
    }

    // Pixels of `got` that no pixel within one pixel of the same place in
    // `want` matches (each channel within 2); w x h pixels each.
    static int Unmatched(const std::vector<Uint32>& got, const std::vector<Uint32>& want, int w,
                         int h)
    {
        auto close = [](Uint32 p, Uint32 q) {
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(static_cast<int>((p >> shift) & 0xFF) -
                             static_cast<int>((q >> shift) & 0xFF)) > 2) {
                    return false;
                }
            }
            return true;
        };
        int bad = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy) {
                    for (int dx = -1; dx <= 1 && !found; ++dx) {
                        const int u = x + dx;
                        const int v = y + dy;
                        found = u >= 0 && v >= 0 && u < w && v < h &&
                                close(got[static_cast<size_t>(y) * w + x],
                                      want[static_cast<size_t>(v) * w + u]);
                    }
                }
                bad += found ? 0 : 1;
            }
        }
        return bad;
    }

    struct FrameCost {
        size_t largest;
        long long held;
        long long handed;
        long long scaled;
        int crossing;
    };

    // One frame of the pool, with what it asked of SDL's heap and drew.
    static FrameCost DrawWatched()
    {
        sdltest::SdlHeapWatch heap;
        copies::Reset();
        const long long scaledBefore = ClipScaledPixels.load();
        GraphicFrame();
        return {heap.LargestRequest(), heap.PeakGrowth(), copies::pixels,
                ClipScaledPixels.load() - scaledBefore, copies::crossing};
    }
};

// Squares hanging over each edge and corner (two of them mirrored) look as
// SDL itself draws them whole, with the game's linear scaling and with
// nearest texels, for the game's pictures and pictures with detail in every
// texel, on full screens of the sizes players have: every pixel where SDL
// puts it (the last column and row of the field included), within a colour
// level; and SDL is never handed more than the screen. Away from a scale of
// 1 SDL's own mirrored copy is scaled twice (to field pixels, then to the
// screen's), so there the mirrored squares are plain and show placement only.
TEST_F(LargeSquares, SquaresOverTheEdgesLookAsSdlDrawsThemWhole)
{
    const struct {
        int w, h;
    } screens[] = {{1920, 1080}, {1366, 768}, {1280, 720}, {1600, 900}, {2560, 1440}, {3840, 2160}};
    const struct {
        int image;
        float cx, cy, size;
        int flip;
    } scene[] = {
        {2, 100.3f, 540, 2400.7f, 0},                        // over the left edge
        {3, 1830, 300.6f, 2100.2f, 0},                       // right
        {4, 960, 60.2f, 1700.9f, 0},                         // top
        {6, 700, 1050, 2604.1f, 0},                          // bottom, the game's picture
        {2, 1900.5f, 1060.3f, 2702.3f, SDL_FLIP_HORIZONTAL}, // corner, mirrored
        {7, 20, 30, 1300.4f, SDL_FLIP_VERTICAL},             // corner
        {3, -200, 500, 2900.8f, 0},                          // centre outside the field
    };
    for (const auto& screen : screens) {
        SCOPED_TRACE(std::to_string(screen.w) + " x " + std::to_string(screen.h));
        Screen out(screen.w, screen.h);
        ASSERT_TRUE(out.Made()) << SDL_GetError();
        const bool unscaled = screen.w == 1920;
        Images[2] = Detailed(SDL_ScaleModeLinear, false);
        Images[3] = Detailed(SDL_ScaleModeNearest, false);
        Images[4] = Detailed(SDL_ScaleModeLinear, true);
        Images[6] = GamePicture("square_fresh.png");
        Images[7] = GamePicture("square_dark.png");
        Images[8] = Painted(100, 100, true, [](int, int) { return 0xFF2080C0u; });
        ASSERT_NE(Images[6], nullptr);
        ASSERT_NE(Images[7], nullptr);
        Stack.Clear();
        for (const auto& s : scene) {
            const int image = s.flip != 0 && !unscaled ? 8 : s.image;
            Stack.Create(At(image, s.cx, s.cy, s.size, s.flip));
        }
        DrawAsSdl();
        const std::vector<Uint32> want = out.Pixels();
        const FrameCost cost = DrawWatched();
        const std::vector<Uint32> got = out.Pixels();
        EXPECT_EQ(Unmatched(got, want, screen.w, screen.h), 0);
        // In fact every pixel sits where SDL puts it; SDL's vector code rounds
        // some colours one level apart from the plain arithmetic copied here.
        int same = 0;
        int off = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            same += got[i] == want[i] ? 1 : 0;
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(static_cast<int>((got[i] >> shift) & 0xFF) -
                             static_cast<int>((want[i] >> shift) & 0xFF)) > 1) {
                    ++off;
                    break;
                }
            }
        }
        EXPECT_EQ(off, 0) << "pixels more than one colour level from SDL's own picture";
        std::cout << screen.w << " x " << screen.h
                  << ": pixels equal to SDL's own picture: " << same << " of " << got.size()
                  << "\n";
        // Squares hang over every edge along its whole length: the field's
        // last column and last row show no background.
        int background = 0;
        for (int y = 0; y < screen.h; ++y) {
            background +=
                got[static_cast<size_t>(y) * screen.w + screen.w - 1] == 0xFFFFFFFFu ? 1 : 0;
        }
        for (int x = 0; x < screen.w; ++x) {
            background += got[static_cast<size_t>(screen.h - 1) * screen.w + x] == 0xFFFFFFFFu;
        }
        EXPECT_EQ(background, 0) << "background in the last column or row";
        const long long screenBytes = 4LL * screen.w * screen.h;
#ifdef VORLUNE_WRAPS_SDL
        if (unscaled) {
            EXPECT_EQ(cost.crossing, 0) << "copies reaching past the field";
        }
#endif
        EXPECT_LE(cost.largest, static_cast<size_t>(screenBytes + 65536)) << "largest request";
        EXPECT_LE(cost.held, 2 * screenBytes) << "most SDL heap held during the frame";
    }
}

// Brings the media layer up again with an OpenGL renderer (SDL's offscreen
// video driver, on Mesa's software GL where there is no GPU) as Renderer, and
// back to the test's own on destruction. Made() is false where there is
// none, and under the sanitizers (the GL driver is not built for them).
class GlScreen {
  public:
    GlScreen()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        why_ = "sanitizer build";
#else
        sdltest::StopMedia();
        const char* driver = SDL_getenv("SDL_VIDEODRIVER");
        driver_ = driver != nullptr ? driver : "dummy";
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        restart_ = true;
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            why_ = std::string("offscreen video: ") + SDL_GetError();
            return;
        }
        Window =
            SDL_CreateWindow("Vorlune", 0, 0, 1920, 1080, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
        Renderer =
            Window != nullptr ? SDL_CreateRenderer(Window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
        if (Renderer == nullptr || IsSoftwareRenderer(Renderer)) {
            why_ = std::string("accelerated renderer: ") + SDL_GetError();
            return;
        }
        SDL_RenderSetLogicalSize(Renderer, 1920, 1080);
        TTF_Init();
        const std::string font = sdltest::RunDir() + "/NegativeSpace.ttf";
        gFont[2] = TTF_OpenFont(font.c_str(), 40);
        if (gFont[2] == nullptr) {
            why_ = std::string("font: ") + TTF_GetError();
        }
#endif
    }
    ~GlScreen()
    {
        if (restart_) {
            sdltest::StopMedia();
            SDL_setenv("SDL_VIDEODRIVER", driver_.c_str(), 1);
            std::string why;
            EXPECT_TRUE(sdltest::StartMedia(&why)) << why;
        }
    }
    GlScreen(const GlScreen&) = delete;
    GlScreen& operator=(const GlScreen&) = delete;
    bool Made() const
    {
        return why_.empty();
    }
    // Why there is none (the Windows build, no EGL, a sanitizer build).
    const std::string& Why() const
    {
        return why_;
    }

  private:
    bool restart_ = false;
    std::string driver_;
    std::string why_;
};

// Squares past the int range (a square left alone passes 2^31 pixels after
// half a minute) cover what their state says, on SDL's software renderer and
// on an accelerated one, for pictures with and without a pixel copy: the
// whole field, or the part right of or below their near edge.
TEST_F(LargeSquares, SquaresBeyondTheIntRangeCoverWhatTheyCover)
{
    const struct {
        int x, y; // the near edge that shows, or -1 when the square covers all
    } placements[] = {{-1, -1}, {960, -1}, {-1, 540}};
    for (const bool accelerated : {false, true}) {
        std::unique_ptr<GlScreen> gl;
        if (accelerated) {
            gl = std::make_unique<GlScreen>();
            if (!gl->Made()) {
                std::cout << "no accelerated renderer here: only the software path is checked\n";
                continue;
            }
        }
        const Uint32 colour = 0xFF20C040u;
        SDL_Texture* pictures[] = {Painted(100, 100, true, [&](int, int) { return colour; }),
                                   Painted(100, 100, false, [&](int, int) { return colour; })};
        for (const float size : {2147483648.0f, 4294967296.0f, 1e12f}) {
            for (const auto& at : placements) {
                for (SDL_Texture* picture : pictures) {
                    SCOPED_TRACE(std::to_string(size) + (accelerated ? " accelerated" : "") +
                                 " at " + std::to_string(at.x) + ", " + std::to_string(at.y));
                    Images[2] = picture;
                    Object o = At(2, 960, 540, size);
                    o.X = at.x >= 0 ? static_cast<float>(at.x) : o.X;
                    o.Y = at.y >= 0 ? static_cast<float>(at.y) : o.Y;
                    Stack.Clear();
                    Stack.Create(o);
                    GraphicFrame();
                    for (const SDL_Point p :
                         {SDL_Point{0, 0}, SDL_Point{959, 539}, SDL_Point{960, 540},
                          SDL_Point{1919, 1079}, SDL_Point{0, 1079}, SDL_Point{1919, 0}}) {
                        const bool covered = p.x >= at.x && p.y >= at.y;
                        const SDL_Color c = ReadPixel(p.x, p.y);
                        EXPECT_EQ(c.g, covered ? 0xC0 : 255) << p.x << ", " << p.y;
                    }
                }
            }
        }
        Images[2] = nullptr;
        for (SDL_Texture* picture : pictures) {
            DestroyPictureTexture(picture);
        }
    }
}

// Three faults of the clipping, each shown by a copy: the scratch texture
// grows to fit a part wide and a part high drawn in turn and is not made again
// at each frame; a cut of a texture without a pixel copy stays within its
// source (source width 10 of 11 texels, destination from -9, 20 wide: texel
// 10 must not show); sources of 32 768 texels and more are sampled where they
// lie (the sum of SDL's steps passes the int range there).
TEST_F(LargeSquares, ScratchCutAndWideSourcesStayRight)
{
    Images[2] = Detailed(SDL_ScaleModeLinear, false);
    Stack.Create(Square(2, -100, 300, 200, 1)); // shows 100 x 200
    Stack.Create(Square(2, 800, -100, 200, 1)); // shows 200 x 100
    GraphicFrame();
    EXPECT_LT(DrawWatched().largest, static_cast<size_t>(100 * 100 * 4))
        << "the scratch texture was made again";
    Stack.Clear();

    const Uint32 inside = 0xFF00FF00u;
    const Uint32 beyond = 0xFFFF0000u;
    for (const bool across : {true, false}) {
        SDL_Texture* strip =
            across ? Painted(11, 1, false, [&](int x, int) { return x < 10 ? inside : beyond; })
                   : Painted(1, 11, false, [&](int, int y) { return y < 10 ? inside : beyond; });
        const SDL_Rect src = across ? SDL_Rect{0, 0, 10, 1} : SDL_Rect{0, 0, 1, 10};
        const CopyRect dst = across ? CopyRect{-9, 0, 20, 1} : CopyRect{0, -9, 1, 20};
        SDL_RenderClear(Renderer);
        CopyInsideTarget(Renderer, strip, src, dst, 0.0, SDL_FLIP_NONE);
        for (int k = 0; k <= 10; ++k) {
            const SDL_Color c = across ? ReadPixel(k, 0) : ReadPixel(0, k);
            EXPECT_EQ(c.r, 0) << (across ? "column " : "row ") << k;
        }
        SDL_DestroyTexture(strip);
    }

    SDL_Texture* wide =
        Painted(40000, 1, true, [&](int x, int) { return x < 32768 ? inside : beyond; });
    ASSERT_NE(wide, nullptr) << SDL_GetError();
    for (const SDL_ScaleMode mode : {SDL_ScaleModeLinear, SDL_ScaleModeNearest}) {
        SDL_SetTextureScaleMode(wide, mode);
        SDL_RenderClear(Renderer);
        // Columns 0 to 1919 take texels 33 333 to 34 612.
        CopyInsideTarget(Renderer, wide, SDL_Rect{0, 0, 40000, 1}, CopyRect{-50000, 0, 60000, 2},
                         0.0, SDL_FLIP_NONE);
        for (const int x : {0, 960, 1919}) {
            EXPECT_EQ(ReadPixel(x, 1).r, 255) << "column " << x << ", scale mode " << mode;
        }
    }
    DestroyPictureTexture(wide);
}

// A pool of squares from 10^2 to 10^6 pixels a side: the frame asks SDL for no
// more than about a window's worth of memory, and its work (pixels handed to
// SDL and pixels scaled here) stays the same when every square is ten times
// larger.
TEST_F(LargeSquares, FrameCostIsBoundedByTheWindowNotBySquares)
{
    Images[2] = GamePicture("square_fresh.png");
    Images[3] = GamePicture("square_dark.png");
    Images[4] = Detailed(SDL_ScaleModeLinear, true);
    const float centres[][2] = {{300, 300}, {1600, 250}, {960, 540}, {250, 900}, {1700, 850}};
    auto pool = [&](float scale) {
        Stack.Clear();
        float size = 100;
        for (int i = 0; i < 5; ++i, size *= 10) {
            Stack.Create(At(2 + i % 3, centres[i][0], centres[i][1], size * scale));
        }
    };
#ifdef VORLUNE_WRAPS_SDL
    long long handed[2] = {0, 0};
#endif
    long long scaled[2] = {0, 0};
    const float scales[2] = {1, 10};
    for (int k = 0; k < 2; ++k) {
        pool(scales[k]);
        const FrameCost cost = DrawWatched();
        std::cout << "squares x" << scales[k] << ": largest SDL request " << cost.largest
                  << " B, SDL heap peak " << cost.held << " B, " << cost.handed
                  << " px handed to SDL, " << cost.scaled << " px scaled\n";
        EXPECT_LE(cost.largest, static_cast<size_t>(WindowBytes + 65536)) << scales[k];
        EXPECT_LE(cost.held, 2 * WindowBytes) << scales[k];
        EXPECT_LE(cost.scaled, 5 * WindowPixels) << scales[k];
#ifdef VORLUNE_WRAPS_SDL
        EXPECT_EQ(cost.crossing, 0) << scales[k];
        EXPECT_LE(cost.handed, 5 * WindowPixels) << scales[k];
        handed[k] = cost.handed;
#endif
        scaled[k] = cost.scaled;
    }
    // Only the smallest two squares still change what shows when all grow
    // tenfold (to 1000 pixels, and to the whole field).
    EXPECT_LE(scaled[1] - scaled[0], 2 * WindowPixels);
#ifdef VORLUNE_WRAPS_SDL
    EXPECT_LE(handed[1] - handed[0], 2 * WindowPixels);
#endif
    for (int slot : {2, 3}) {
        DestroyPictureTexture(Images[slot]);
        Images[slot] = nullptr;
    }
}

// A frame that leaves out what later squares hide (the clear too, when one
// covers the whole field) shows exactly the picture of a frame that draws
// everything, over a table of scenes: squares of every size in the game's
// order and the reverse, layers, both pools, text drawn with its object,
// pictures that hide and pictures that don't (see-through texels, alpha
// modulation, mirrored, turned, a frame outside the texture), on the
// software renderer and on the accelerated one where there is one. Each
// frame is drawn over magenta, so a pixel left undrawn shows.
TEST_F(LargeSquares, LeavingOutHiddenSquaresKeepsEveryPixel)
{
    struct Piece {
        int image;
        float x, y, w, h;
        int layer;
        int box = 0;
        bool crosshairs = false; // in the interface pool
        float angle = 0;
        int flip = 0;
        int frame = 0;
    };
    const float big[] = {100, 1000, 1e4f, 1e5f, 1e6f};
    const float centres[][2] = {{300, 300}, {1600, 250}, {960, 540}, {250, 900}, {1700, 850}};
    auto square = [&](int i, int image) {
        return Piece{image, centres[i][0] - big[i] / 2, centres[i][1] - big[i] / 2, big[i], big[i],
                     1};
    };
    const Piece cross1{1, 100, 100, 100, 100, 5, 0, true};
    const Piece cross2{1, 1500, 800, 100, 100, 0, 0, true};
    const struct {
        const char* what;
        std::vector<Piece> pieces;
        int drawn;
        int parts; // squares drawn in parts, on the software renderer
        bool cleared;
    } scenes[] = {
        {"10^2 to 10^6 px, the largest last",
         {square(0, 2), square(1, 3), square(2, 4), square(3, 2), square(4, 3), cross1, cross2},
         3,
         0,
         false},
        {"10^6 to 10^2 px, the largest first as the game grows them",
         {square(4, 2), square(3, 3), square(2, 4), square(1, 2), square(0, 3), cross1, cross2},
         5,
         5,
         false},
        {"a cover on layer 2 between a later slot on layer 1 and an earlier one on layer 3",
         {{2, 100, 100, 50, 50, 3}, {3, -500, -500, 3000, 3000, 2}, {4, 500, 500, 200, 200, 1}},
         2,
         4,
         false},
        {"see-through texels hide nothing",
         {{2, 800, 400, 300, 300, 1}, {6, -1000, -1500, 4000, 4000, 1}},
         2,
         0,
         true},
        {"alpha modulation hides nothing",
         {{3, 800, 400, 300, 300, 1}, {7, -1000, -1500, 4000, 4000, 1}},
         2,
         0,
         true},
        {"without blending even see-through texels hide",
         {{2, 800, 400, 300, 300, 1}, {8, -1000, -1500, 4000, 4000, 1}},
         1,
         0,
         false},
        {"colour modulation hides, nearest texels",
         {{2, 800, 400, 300, 300, 1}, {9, -3, -2, 1930, 1090, 1}},
         1,
         0,
         false},
        {"the backdrop over text, text over the backdrop",
         {{0, 100, 100, 0, 0, 3, 3}, {5, 0, 0, 1920, 1080, 3}, {0, 300, 600, 0, 0, 3, 4}},
         2,
         0,
         false},
        {"a backdrop one pixel short",
         {{0, 100, 100, 0, 0, 3, 3}, {5, 0, 0, 1919, 1080, 3}, {0, 300, 600, 0, 0, 3, 4}},
         3,
         0,
         true},
        {"edges truncated onto the field's edges",
         {{4, 1800, 1000, 300, 300, 1}, {2, -10.5f, -3.9f, 1930.4f, 1083.95f, 1}},
         1,
         0,
         false},
        {"edges truncated one pixel short",
         {{4, 1800, 1000, 300, 300, 1}, {2, -10.5f, -3.9f, 1929.9f, 1083.95f, 1}},
         2,
         1,
         true},
        {"a square in the field hides smaller ones, not their text, turned or overhanging ones",
         {{2, 600, 300, 100, 100, 1},
          {3, 700, 300, 100, 100, 1, 3},
          {4, 800, 300, 100, 100, 1, 0, false, 30},
          {2, 1250, 300, 100, 100, 1},
          {2, 1500, 900, 100, 100, 1},
          {2, 100, 100, 0, 100, 1},
          {3, 500, 200, 800, 600, 1}},
         5,
         0,
         true},
        {"mirrored, turned and out-of-texture squares hide nothing",
         {{2, 900, 500, 100, 100, 1},
          {3, -500, -500, 3000, 3000, 1, 0, false, 0, SDL_FLIP_HORIZONTAL},
          {4, 0, 0, 1920, 1080, 1, 0, false, 180},
          {2, -500, -500, 3000, 3000, 1, 0, false, 0, 0, 5}},
         4,
         0,
         true},
        {"a cover in the interface pool hides the whole main pool",
         {square(0, 2),
          square(3, 3),
          {0, 300, 600, 0, 0, 5, 3},
          Piece{5, 0, 0, 1920, 1080, 0, 0, true},
          cross1},
         2,
         0,
         false},
        {"squares across the edges hidden in part drawn where they show",
         {{3, -500, -300, 1500, 1500, 1},
          {2, 600, -200, 1800, 1500, 1},
          {4, 800, 400, 200, 200, 1}},
         3,
         5,
         true},
        {"a square within the field hidden in part",
         {{2, 700, 300, 400, 400, 1}, {3, 900, -100, 2000, 2000, 1}},
         2,
         0,
         true},
        {"nine squares over a cover: its parts are capped",
         {{3, -200, -200, 2400, 1500, 1},
          {2, 200, 200, 100, 100, 1},
          {4, 500, 200, 100, 100, 1},
          {2, 800, 200, 100, 100, 1},
          {4, 200, 500, 100, 100, 1},
          {2, 500, 500, 100, 100, 1},
          {4, 800, 500, 100, 100, 1},
          {2, 200, 800, 100, 100, 1},
          {4, 500, 800, 100, 100, 1},
          {2, 800, 800, 100, 100, 1}},
         10,
         15,
         false},
        {"a square past the int range covers the field",
         {{4, 400, 400, 400, 200, 1},
          {2, 960 - 4.294967296e9f, 540 - 4.294967296e9f, 8.589934592e9f, 8.589934592e9f, 1}},
         1,
         0,
         false},
        {"hidden by two squares together",
         {{4, 400, 400, 400, 200, 1}, {2, -100, -100, 700, 1300, 1}, {3, 600, -100, 1500, 1300, 1}},
         2,
         0,
         true},
    };

    auto pictures = [&] {
        Images[1] = GamePicture("crosshair.png");
        Images[2] = GamePicture("square_fresh.png");
        Images[3] = GamePicture("square_dark.png");
        Images[4] = GamePicture("square_black.png");
        Images[5] = GamePicture("backdrop.png");
        Images[6] = Detailed(SDL_ScaleModeLinear, true);
        Images[7] = Detailed(SDL_ScaleModeLinear, false);
        SDL_SetTextureAlphaMod(Images[7], 128);
        Images[8] = Detailed(SDL_ScaleModeLinear, true);
        SDL_SetTextureBlendMode(Images[8], SDL_BLENDMODE_NONE);
        Images[9] = Detailed(SDL_ScaleModeNearest, false);
        SDL_SetTextureColorMod(Images[9], 200, 100, 50);
        for (int i = 1; i <= 9; ++i) {
            ASSERT_NE(Images[i], nullptr) << i;
        }
    };
    // Drawn over magenta in both buffers of a double-buffered target.
    auto frame = [](bool leaveOutHidden) {
        for (int i = 0; i < 2; ++i) {
            SDL_SetRenderDrawColor(Renderer, 255, 0, 255, 255);
            SDL_RenderClear(Renderer);
            SDL_RenderPresent(Renderer);
        }
        DrawFrameSnapshot(leaveOutHidden);
        return sdltest::ReadFrame(1920, 1080);
    };
    auto compare = [&](const char* renderer) {
        pictures();
        Boxes[3].Text = "Under the squares";
        Boxes[4].Text = "Over the backdrop";
        for (int i : {3, 4}) {
            Boxes[i].Font = 2;
            Boxes[i].Wrap = 1000;
            Boxes[i].Color = SDL_Color{255, 255, 255, 0};
        }
        r = 255;
        g = b = 180;
        for (const auto& scene : scenes) {
            Stack.Clear();
            interface.Clear();
            for (const Piece& p : scene.pieces) {
                Object o = Square(p.image, p.x, p.y, p.w, p.layer);
                o.H = p.h;
                o.Box = p.box;
                o.Angle = p.angle;
                o.Flip = p.flip;
                o.Frame = p.frame;
                (p.crosshairs ? interface : Stack).Create(o);
            }
            {
                std::lock_guard<std::mutex> lock(StateMutex);
                TakeFrameSnapshot();
            }
            const std::vector<Uint32> want = frame(false);
            const std::vector<Uint32> got = frame(true);
            int differing = 0;
            for (size_t i = 0; i < want.size(); ++i) {
                differing += got[i] != want[i] ? 1 : 0;
            }
            EXPECT_EQ(differing, 0) << renderer << ": " << scene.what;
            EXPECT_EQ(LastFrameWork().objects, scene.drawn) << renderer << ": " << scene.what;
            EXPECT_EQ(LastFrameWork().cleared, scene.cleared) << renderer << ": " << scene.what;
            // Elsewhere squares within the field are cut as well.
            if (std::string(renderer) == "software") {
                EXPECT_EQ(LastFrameWork().parts, scene.parts) << scene.what;
            } else {
                EXPECT_GE(LastFrameWork().parts, scene.parts) << renderer << ": " << scene.what;
            }
        }
    };

    compare("software");
    GlScreen gl;
    if (!gl.Made()) {
        std::cout << "no accelerated renderer to compare on: " << gl.Why() << "\n";
        return;
    }
    SDL_RendererInfo info;
    SDL_GetRendererInfo(Renderer, &info);
    std::cout << "accelerated renderer: " << info.name << "\n";
    compare(info.name);
}

// Clipping on the software renderer handles mirrored copies and refuses
// turned ones larger than the field, so it matters that nothing the game
// draws ever turns or mirrors: a game played with fire and sweeps, the
// tutorial on, leaves Angle, Spin and Flip at 0 in every pool and template.
TEST_F(LargeSquares, NothingTheGameDrawsTurnsOrMirrors)
{
    std::srand(3);
    EndGameHoldMs = 0;
    Tutorial = true;
    Keyboard = true;
    FreshStart = 0;
    IniGame();
    const int sweep[] = {1, 3, 2, 4};
    auto still = [](const Object& o) { return o.Angle == 0 && o.Spin == 0 && o.Flip == 0; };
    int drawn = 0;
    for (int pass = 0; pass < 6000 && Mode == 1; ++pass) {
        for (bool& held : KeyboardHeld) {
            held = false;
        }
        KeyboardHeld[5] = true;
        KeyboardHeld[sweep[(pass / 200) % 4]] = pass < 3000;
        Pause = 0;
        LogicPass();
        for (const ObjectStack* pool : {&Stack, &interface}) {
            for (int i = 0; i <= pool->Count; ++i) {
                ASSERT_TRUE(still(pool->Slots[i])) << "pass " << pass << " slot " << i;
            }
        }
        drawn = std::max(drawn, Stack.Count);
    }
    for (const Object& o : Objectlist) {
        EXPECT_TRUE(still(o));
    }
    EXPECT_GT(drawn, 3);
    for (bool& held : KeyboardHeld) {
        held = false;
    }
    EndGameHoldMs = 5000;
}

} // namespace
