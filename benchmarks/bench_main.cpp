// Benchmarks of the per-tick and per-frame work, measured against the budgets
// of the loops that run it: the 6 ms logic tick and the 16 ms frame. They run
// without a display (SDL's dummy video driver, software renderer) in the
// folder that holds the generated media and the font.

// The benchmark library supplies main(); SDL must not replace it on Windows.
#define SDL_MAIN_HANDLED

#include "input/keyboard.h"
#include "persist/scores.h"
#include "platform/audio.h"
#include "platform/timing.h"
#include "render/graphics.h"
#include "render/images.h"
#include "render/textbox.h"
#include "screens/menu.h"
#include "world/globals.h"
#include "world/logic.h"
#include "world/object.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace {

SDL_Window* BenchWindow = nullptr;

// Fills Stack with `n` squares that keep their state under the logic tick:
// they grow by a factor of exactly 1 and their ageing timers do not run out
// during a run, so every pass does the full per-object work (animation, motion,
// growth, ageing, edge test) on the same pool.
void FillSquares(int n)
{
    Stack.Clear();
    std::srand(1234);
    for (int i = 0; i < n; ++i) {
        Object o;
        o.Image = 2 + i % 3;
        o.X = static_cast<float>(std::rand() % 1520 + 200);
        o.Y = static_cast<float>(std::rand() % 860 + 100);
        o.FrameW = 100;
        o.FrameH = 100;
        o.W = static_cast<float>(std::rand() % 100 + 1);
        o.H = o.W;
        o.Grow = 1.0f;
        o.Layer = 1;
        o.Shootable = true;
        o.AgeTimer = 1000000000;
        Stack.Create(o);
    }
}

// Two crosshairs in the top-left corner: their shots land where no square is,
// so a shot scans the whole pool without changing it.
void PlaceCrosshairs()
{
    interface.Clear();
    Object c;
    c.Image = 1;
    c.FrameW = 100;
    c.FrameH = 100;
    c.W = 100;
    c.H = 100;
    c.Layer = 5;
    interface.Create(c);
    c.X = 60;
    interface.Create(c);
}

void GameState()
{
    ResetGlobals();
    Mode = 1;
    MenuMode = 1;
    FreshStart = 0;
    Keyboard = true;
    Tutorial = false;
    Difficulty = 2;
    PlaceCrosshairs();
}

ObjectStack SavedStack;

// One logic pass in play: the game tick advances every square and the held
// left fire key shoots once (plus the level event and the gun sound).
void BM_LogicPass(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    GameState();
    FillSquares(n);
    SavedStack.CopyFrom(Stack);
    KeyboardHeld[5] = true;
    for (auto _ : state) {
        // Every pass starts from the same pool and colour, whatever the
        // previous one spawned or changed.
        Stack.CopyFrom(SavedStack);
        r = g = b = 255;
        High = 0;
        Score = 0;
        Counter = 0;
        EndGame = false;
        const auto start = std::chrono::steady_clock::now();
        LogicPass();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    KeyboardHeld[5] = false;
    state.counters["squares"] = n;
}
BENCHMARK(BM_LogicPass)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(2999)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The graphics thread's time under StateMutex per frame.
void BM_FrameSnapshot(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    GameState();
    FillSquares(n);
    for (auto _ : state) {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    state.counters["squares"] = n;
}
BENCHMARK(BM_FrameSnapshot)->Arg(0)->Arg(100)->Arg(1000)->Arg(2999)->Unit(benchmark::kMicrosecond);

// Drawing and presenting one 1920 x 1080 frame from the snapshot.
void BM_DrawFrame(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    GameState();
    FillSquares(n);
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    DrawFrameSnapshot();
    for (auto _ : state) {
        DrawFrameSnapshot();
    }
    state.counters["squares"] = n;
}
BENCHMARK(BM_DrawFrame)->Arg(0)->Arg(200)->Arg(2999)->Unit(benchmark::kMillisecond);

// A square of the game's pictures (image 2 to 4), centred at (cx, cy).
Object SquareAt(int image, float cx, float cy, float size)
{
    Object o;
    o.Image = image;
    o.X = cx - size / 2;
    o.Y = cy - size / 2;
    o.FrameW = 100;
    o.FrameH = 100;
    o.W = size;
    o.H = size;
    o.Layer = 1;
    return o;
}

// Drawing a frame of squares left alone until far larger than the field: five
// squares of the given side around the field, their centres on it, as the
// game keeps them. Side 0: one each of 10^2 to 10^6 pixels, the largest drawn
// last; -1: the same, the largest drawn first, as the game draws squares
// that grew from points (the oldest is the largest). The second argument 1
// leaves out what later squares hide, as the game does; 0 draws everything,
// for comparison. "drawn" counts the objects a frame drew.
void BM_DrawLargeSquares(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const bool leaveOutHidden = state.range(1) != 0;
    GameState();
    Stack.Clear();
    const float centres[][2] = {{300, 300}, {1600, 250}, {960, 540}, {250, 900}, {1700, 850}};
    for (int k = 0; k < 5; ++k) {
        const int i = side < 0 ? 4 - k : k;
        const float mixed = std::pow(10.0f, static_cast<float>(i + 2));
        const float size = side > 0 ? static_cast<float>(side) : mixed;
        Stack.Create(SquareAt(2 + i % 3, centres[i][0], centres[i][1], size));
    }
    // The game scales its pictures linearly (it asks before loading them).
    for (int slot = 2; slot <= 4; ++slot) {
        SDL_SetTextureScaleMode(Images[slot], SDL_ScaleModeLinear);
    }
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    DrawFrameSnapshot(leaveOutHidden);
    for (auto _ : state) {
        DrawFrameSnapshot(leaveOutHidden);
    }
    for (int slot = 2; slot <= 4; ++slot) {
        SDL_SetTextureScaleMode(Images[slot], SDL_ScaleModeNearest);
    }
    state.counters["side"] = side;
    state.counters["drawn"] = LastFrameWork().objects;
}
BENCHMARK(BM_DrawLargeSquares)
    ->ArgsProduct({{0, -1, 1000, 3000, 10000, 100000, 1000000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

// Drawing a frame of one square hanging over all four edges, so that its
// visible part is the whole field: the cost of scaling one full-field picture
// on the software path.
void BM_DrawFullFieldSquare(benchmark::State& state)
{
    const float size = static_cast<float>(state.range(0));
    GameState();
    interface.Clear();
    Stack.Clear();
    Stack.Create(SquareAt(2, 960, 540, size));
    SDL_SetTextureScaleMode(Images[2], SDL_ScaleModeLinear);
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        TakeFrameSnapshot();
    }
    DrawFrameSnapshot();
    for (auto _ : state) {
        DrawFrameSnapshot();
    }
    SDL_SetTextureScaleMode(Images[2], SDL_ScaleModeNearest);
    state.counters["side"] = state.range(0);
}
BENCHMARK(BM_DrawFullFieldSquare)->Arg(2500)->Unit(benchmark::kMillisecond);

// A steady main-menu frame: snapshot and drawing, text boxes unchanged.
// Counts the text renderings per frame, which must stay at 0.
void BM_MenuFrame(benchmark::State& state)
{
    ResetGlobals();
    Mode = 2;
    FreshStart = 0;
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        IniMenu(false);
    }
    // One pass sets the entries' colours, as in the running menu.
    LogicPass();
    GraphicFrame();
    const long before = TextRenderCount.load();
    long frames = 0;
    for (auto _ : state) {
        GraphicFrame();
        ++frames;
    }
    state.counters["text_renders_per_frame"] =
        frames > 0 ? static_cast<double>(TextRenderCount.load() - before) / frames : 0.0;
}
BENCHMARK(BM_MenuFrame)->Unit(benchmark::kMillisecond);

void BM_CalcMeUnchanged(benchmark::State& state)
{
    TextBox& box = Boxes[2];
    box.Font = 1;
    box.Color = SDL_Color{0, 0, 0, 0};
    box.Text = "Start Game";
    box.CalcMe();
    for (auto _ : state) {
        box.CalcMe();
        benchmark::DoNotOptimize(box.Texture);
    }
}
BENCHMARK(BM_CalcMeUnchanged)->Unit(benchmark::kMicrosecond);

// A changed box renders its text anew: the cost of a new label or score.
void BM_CalcMeChanged(benchmark::State& state)
{
    TextBox& box = Boxes[2];
    box.Font = 1;
    box.Color = SDL_Color{0, 0, 0, 0};
    const std::string texts[2] = {"Highscores Level 1", "Highscores Level 2"};
    int i = 0;
    for (auto _ : state) {
        box.Text = texts[i];
        i ^= 1;
        box.CalcMe();
        benchmark::DoNotOptimize(box.Texture);
    }
}
BENCHMARK(BM_CalcMeChanged)->Unit(benchmark::kMicrosecond);

// The kind of file system that holds `dir`, as far as it is known here.
std::string FileSystemName(const std::filesystem::path& dir)
{
#ifdef __linux__
    struct statfs info {};
    if (statfs(dir.c_str(), &info) != 0) {
        return "unknown file system";
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53ul:
        return "ext2/3/4";
    case 0x58465342ul:
        return "xfs";
    case 0x9123683Eul:
        return "btrfs";
    case 0x01021994ul:
        return "tmpfs: syncs cost nothing";
    case 0x794C7630ul:
        return "overlay";
    default:
        break;
    }
    char hex[48];
    std::snprintf(hex, sizeof hex, "file system 0x%lx", static_cast<unsigned long>(info.f_type));
    return hex;
#else
    (void)dir;
    return "";
#endif
}

// A whole score write as the logic thread makes it when a name is
// confirmed: Scores.txt to a temporary, its data synced, renamed over the
// old file, the folder synced. It runs in the build's folder "bench-scores"
// (or $VORLUNE_BENCH_WRITE_DIR), on a real disk as the game's folder would
// be; the label names the file system, since on tmpfs a sync costs nothing.
void BM_ScoreWrite(benchmark::State& state)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path back = fs::current_path(ec);
    const char* where = std::getenv("VORLUNE_BENCH_WRITE_DIR");
    const fs::path dir = fs::absolute(where != nullptr ? where : VORLUNE_BENCH_WRITE_DIR, ec);
    fs::create_directories(dir, ec);
    fs::current_path(dir, ec);
    if (ec) {
        state.SkipWithError(("cannot write in " + dir.string()).c_str());
        return;
    }
    for (auto _ : state) {
        SaveScores();
    }
    state.SetLabel(FileSystemName(dir));
    fs::current_path(back, ec);
}
BENCHMARK(BM_ScoreWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// The real length of the loops' periods: pacing on 6 ms and 16 ms, with the
// work of a pass left out. Shows how far the sleep overshoots.
void PacedPeriod(benchmark::State& state, double periodMs)
{
    LoopPacer pacer(periodMs);
    pacer.Wait();
    for (auto _ : state) {
        pacer.Wait();
    }
}
void BM_LogicPeriod(benchmark::State& state)
{
    PacedPeriod(state, 6.0);
}
void BM_FramePeriod(benchmark::State& state)
{
    PacedPeriod(state, 16.0);
}
BENCHMARK(BM_LogicPeriod)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FramePeriod)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opens what the measured code needs: the software renderer on a dummy
// window, the fonts, the mixer on the dummy audio driver, the media lists.
bool OpenMedia()
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    const char* runDir = std::getenv("VORLUNE_RUN_DIR");
    std::error_code ec;
    std::filesystem::current_path(runDir != nullptr ? runDir : VORLUNE_BENCH_RUN_DIR, ec);
    if (ec) {
        std::fprintf(stderr, "Cannot enter the media folder: %s\n", ec.message().c_str());
        return false;
    }
    SDL_SetMainReady();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return false;
    }
    BenchWindow = SDL_CreateWindow("vorlune bench", 0, 0, 1920, 1080, 0);
    Renderer = BenchWindow != nullptr ? SDL_CreateRenderer(BenchWindow, -1, SDL_RENDERER_SOFTWARE)
                                      : nullptr;
    if (Renderer == nullptr) {
        std::fprintf(stderr, "No software renderer: %s\n", SDL_GetError());
        return false;
    }
    Window = BenchWindow;
    SDL_RenderSetLogicalSize(Renderer, 1920, 1080);
    TTF_Init();
    gFont[1] = TTF_OpenFont("NegativeSpace.ttf", 96);
    gFont[2] = TTF_OpenFont("NegativeSpace.ttf", 40);
    gFont[3] = TTF_OpenFont("NegativeSpace.ttf", 250);
    if (gFont[1] == nullptr) {
        std::fprintf(stderr, "Font not found in the media folder: %s\n", TTF_GetError());
        return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0) {
        std::fprintf(stderr, "No audio (benchmarks go on silently): %s\n", Mix_GetError());
    }
    LoadSounds();
    loadImages("Liste.txt");
    DefBoxes();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!OpenMedia()) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Mix_CloseAudio();
    SDL_Quit();
    return 0;
}
