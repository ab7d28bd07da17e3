#include "render/graphics.h"

#include "platform/timing.h"
#include "render/clipping.h"
#include "render/cover.h"
#include "world/globals.h"

#include <atomic>

namespace {

// What the graphics thread draws: copied under StateMutex, drawn without it.
ObjectStack SnapStack;
ObjectStack SnapInterface;
int32_t SnapR = 255;
int32_t SnapG = 255;
int32_t SnapB = 255;
bool SnapKCodeOn = false;

// The graphics thread's own copies of the text boxes. Their texture caches
// are touched only by the drawing thread, so other threads may rewrite the
// shared boxes at any time without a frame reading a half-replaced string.
TextBox MirrorBoxes[Boxnumber];

// Background of the last frame in which g was positive (the renderer's
// default colour until then).
SDL_Color ClearColor{0, 0, 0, 255};

// The drawing thread's list of what a frame draws, and what the last one
// did.
FramePlan Plan;
FrameWork LastWork;

std::atomic<bool> BlueTexturesRequested{false};
std::atomic<bool> RedrawRequested{false};

// Whether the last snapshot differs from the one before it in anything a
// frame shows. The drawing thread redraws an unchanged picture only now and
// then, so an idle screen costs next to nothing.
bool SnapChanged = true;
constexpr Uint32 UnchangedRedrawMs = 2000;

bool SameLook(const Object& a, const Object& b)
{
    return a.Image == b.Image && a.X == b.X && a.Y == b.Y && a.FrameW == b.FrameW &&
           a.FrameH == b.FrameH && a.W == b.W && a.H == b.H && a.Frame == b.Frame &&
           a.Layer == b.Layer && a.Angle == b.Angle && a.Box == b.Box && a.Flip == b.Flip;
}

bool SamePool(const ObjectStack& a, const ObjectStack& b)
{
    if (a.Count != b.Count) {
        return false;
    }
    for (int i = 0; i <= a.Count; ++i) {
        if (!SameLook(a.Slots[i], b.Slots[i])) {
            return false;
        }
    }
    return true;
}

bool SameColor(const SDL_Color& a, const SDL_Color& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

Uint8 Low8(int32_t v)
{
    return static_cast<Uint8>(v & 0xFF);
}

// A 100 x 100 texture of one colour, made from a 32-bit RGB surface without
// alpha; null when the surface or texture cannot be made.
SDL_Texture* MakeSquareTexture(Uint8 red, Uint8 green, Uint8 blue)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(0, 100, 100, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    if (surface == nullptr) {
        return nullptr;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, red, green, blue));
    SDL_Texture* texture = CreatePictureTexture(Renderer, surface);
    SDL_FreeSurface(surface);
    return texture;
}

void ReplaceImage(int slot, SDL_Texture* texture)
{
    // A failed creation keeps the old picture rather than leaving a hole.
    if (texture == nullptr) {
        return;
    }
    DestroyPictureTexture(Images[slot]);
    Images[slot] = texture;
}

void DropBoxCache(TextBox& box)
{
    if (box.Texture != nullptr) {
        SDL_DestroyTexture(box.Texture);
        box.Texture = nullptr;
    }
    box.DrawnText.clear();
    box.DrawnFont = 0;
    box.DrawnColor = SDL_Color{255, 255, 255, 0};
}

} // namespace

int GraphicHandler(void*)
{
    // At most one frame per 16 ms, counted from the end of the previous
    // sleep so that drawing time is part of the period.
    LoopPacer pacer(16.0);
    Uint32 lastDrawn = 0;
    bool drawnOnce = false;
    for (;;) {
        bool changed = ProcessRenderRequests();
        changed = RedrawRequested.exchange(false) || changed;
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            if (!running) {
                break;
            }
            TakeFrameSnapshot();
            changed = changed || SnapChanged;
        }
        const Uint32 now = SDL_GetTicks();
        if (changed || !drawnOnce || now - lastDrawn >= UnchangedRedrawMs) {
            DrawFrameSnapshot();
            lastDrawn = now;
            drawnOnce = true;
        }
        TimingMark(TimingLoop::Frame);
        pacer.Wait();
    }
    return 0;
}

void createScreen()
{
    Object backdrop;
    backdrop.Image = 5;
    backdrop.X = 0.0f;
    backdrop.Y = 0.0f;
    backdrop.FrameW = 100;
    backdrop.FrameH = 100;
    backdrop.W = 1920.0f;
    backdrop.H = 1080.0f;
    backdrop.Layer = 3;
    backdrop.LifeTimer = 2;
    backdrop.Box = 0;
    Stack.Create(backdrop);
}

void GraphicFrame()
{
    ProcessRenderRequests();
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    DrawFrameSnapshot();
}

void TakeFrameSnapshot()
{
    bool changed = !SamePool(SnapStack, Stack) || !SamePool(SnapInterface, interface) ||
                   SnapR != r || SnapG != g || SnapB != b || SnapKCodeOn != KCodeOn;
    SnapStack.CopyFrom(Stack);
    SnapInterface.CopyFrom(interface);
    SnapR = r;
    SnapG = g;
    SnapB = b;
    SnapKCodeOn = KCodeOn;
    for (int i = 0; i < Boxnumber; ++i) {
        TextBox& mirror = MirrorBoxes[i];
        const TextBox& box = Boxes[i];
        if (mirror.Text != box.Text) {
            mirror.Text = box.Text;
            changed = true;
        }
        if (!SameColor(mirror.Color, box.Color) || mirror.Font != box.Font ||
            mirror.Wrap != box.Wrap) {
            changed = true;
        }
        mirror.Color = box.Color;
        mirror.Font = box.Font;
        mirror.Wrap = box.Wrap;
    }
    SnapChanged = changed;
}

void DrawFrameSnapshot(bool leaveOutHidden)
{
    if (Renderer == nullptr) {
        return;
    }
    // The interface pool comes second, so crosshairs lie above every layer.
    ObjectStack* const pools[] = {&SnapStack, &SnapInterface};
    Plan.Make(Renderer, pools, 2, leaveOutHidden);
    if (SnapG > 0) {
        if (SnapKCodeOn) {
            ClearColor = SDL_Color{Low8(SnapB), Low8(SnapG), Low8(SnapR), 255};
        } else {
            ClearColor = SDL_Color{Low8(SnapR), Low8(SnapG), Low8(SnapB), 255};
        }
    }
    SDL_SetRenderDrawColor(Renderer, ClearColor.r, ClearColor.g, ClearColor.b, ClearColor.a);
    LastWork.cleared = !Plan.ClearHidden();
    if (LastWork.cleared) {
        SDL_RenderClear(Renderer);
    }
    LastWork.parts = 0;
    LastWork.objects = Plan.Draw(Renderer, MirrorBoxes, &LastWork.parts);
    SDL_RenderPresent(Renderer);
}

void RequestBlueTextures()
{
    BlueTexturesRequested.store(true);
}

bool ProcessRenderRequests()
{
    if (!BlueTexturesRequested.exchange(false)) {
        return false;
    }
    if (Renderer == nullptr) {
        return false;
    }
    ReplaceImage(2, MakeSquareTexture(0, 0, 255));
    ReplaceImage(3, MakeSquareTexture(0, 0, 51));
    return true;
}

void RequestRedraw()
{
    RedrawRequested.store(true);
}

bool FrameSnapshotChanged()
{
    return SnapChanged;
}

FrameWork LastFrameWork()
{
    return LastWork;
}

void ResetRenderCaches()
{
    for (TextBox& box : MirrorBoxes) {
        DropBoxCache(box);
    }
    for (TextBox& box : Boxes) {
        DropBoxCache(box);
    }
    ResetClipping(Renderer);
    ForgetPictures();
    SnapStack.Clear();
    SnapInterface.Clear();
    SnapR = SnapG = SnapB = 255;
    SnapKCodeOn = false;
    SnapChanged = true;
    ClearColor = SDL_Color{0, 0, 0, 255};
    LastWork = FrameWork{};
    BlueTexturesRequested.store(false);
}
