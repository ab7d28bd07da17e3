#include "platform/dpi.h"
#include "platform/drawing.h"
#include "platform/media.h"
#include "platform/timing.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/startup.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

// Media-layer calls whose effect the dummy video driver does not show are
// watched, or made to fail, by wrappers: the link step routes the game's
// calls of these functions here (GNU linker, on Linux and with MinGW-w64),
// and each passes the call on to the library.
namespace recorded {
std::vector<std::pair<SDL_GLattr, int>> glAttributes;
bool windowBeforeAttributes = false;
std::vector<Uint32> rendererFlags;
bool failControllerOpen = false;
int refusedJoystick = -1;
const char* const RefusalText = "open refused by the test";
// Windows made and destroyed and renderers asked for, in order, each with
// the window's number and the framebuffer hint at that moment:
// "window 3 hint 0", "no window", "renderer 3 hint 0", "destroy 3".
std::vector<std::string> drawing;
// Renderer requests that fail (counted from 1), each with the text
// "renderer <n> refused by the test".
std::vector<int> refusedRenderers;
int rendererCalls = 0;

std::string Hint()
{
    const char* hint = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    return hint != nullptr ? hint : "unset";
}
} // namespace recorded

#ifdef VORLUNE_WRAPS_SDL
extern "C" {
int __real_SDL_GL_SetAttribute(SDL_GLattr attr, int value);
SDL_Renderer* __real_SDL_CreateRenderer(SDL_Window* window, int index, Uint32 flags);
SDL_GameController* __real_SDL_GameControllerOpen(int index);
SDL_Joystick* __real_SDL_JoystickOpen(int index);
SDL_Window* __real_SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags);
void __real_SDL_DestroyWindow(SDL_Window* window);

SDL_Window* __wrap_SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags)
{
    SDL_Window* window = __real_SDL_CreateWindow(title, x, y, w, h, flags);
    recorded::drawing.push_back(window == nullptr
                                    ? "no window"
                                    : "window " + std::to_string(SDL_GetWindowID(window)) +
                                          " hint " + recorded::Hint());
    return window;
}

void __wrap_SDL_DestroyWindow(SDL_Window* window)
{
    recorded::drawing.push_back("destroy " + std::to_string(SDL_GetWindowID(window)));
    __real_SDL_DestroyWindow(window);
}

int __wrap_SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
    recorded::glAttributes.emplace_back(attr, value);
    recorded::windowBeforeAttributes = recorded::windowBeforeAttributes || Window != nullptr;
    return __real_SDL_GL_SetAttribute(attr, value);
}

SDL_Renderer* __wrap_SDL_CreateRenderer(SDL_Window* window, int index, Uint32 flags)
{
    recorded::rendererFlags.push_back(flags);
    recorded::drawing.push_back("renderer " + std::to_string(SDL_GetWindowID(window)) + " hint " +
                                recorded::Hint());
    const int call = ++recorded::rendererCalls;
    for (int refused : recorded::refusedRenderers) {
        if (refused == call) {
            SDL_SetError("renderer %d refused by the test", call);
            return nullptr;
        }
    }
    return __real_SDL_CreateRenderer(window, index, flags);
}

SDL_GameController* __wrap_SDL_GameControllerOpen(int index)
{
    if (recorded::failControllerOpen) {
        SDL_SetError("refused by the test");
        return nullptr;
    }
    return __real_SDL_GameControllerOpen(index);
}

SDL_Joystick* __wrap_SDL_JoystickOpen(int index)
{
    if (index == recorded::refusedJoystick) {
        SDL_SetError("%s", recorded::RefusalText);
        return nullptr;
    }
    return __real_SDL_JoystickOpen(index);
}
}
#endif

namespace {

using sdltest::TempWorkDir;

// Runs iniSDL in a working directory that holds the game font, with the
// joystick subsystem up beforehand so virtual joysticks can be attached.
class IniSdlTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ResetGlobals();
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::error_code ec;
        std::filesystem::copy_file(sdltest::RunDir() + "/NegativeSpace.ttf",
                                   dir_.Path() + "/NegativeSpace.ttf", ec);
        ASSERT_FALSE(ec) << ec.message();
        ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        SDL_LogGetOutputFunction(&savedLog_, &savedLogData_);
        SDL_LogSetOutputFunction(&IniSdlTest::CollectLog, &log_);
        recorded::glAttributes.clear();
        recorded::windowBeforeAttributes = false;
        recorded::rendererFlags.clear();
        recorded::failControllerOpen = false;
        recorded::drawing.clear();
        recorded::refusedRenderers.clear();
        recorded::rendererCalls = 0;
    }

    void TearDown() override
    {
        SDL_LogSetOutputFunction(savedLog_, savedLogData_);
        sdltest::StopMedia();
    }

    // Attaches a virtual joystick with a name, 2 axes and 4 buttons.
    static int Attach(SDL_JoystickType type, const char* name)
    {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = 2;
        desc.nbuttons = 4;
        desc.name = name;
        return SDL_JoystickAttachVirtualEx(&desc);
    }

    std::string RunIniSdl(bool antialiasing = true)
    {
        testing::internal::CaptureStdout();
        iniSDL(antialiasing);
        return testing::internal::GetCapturedStdout();
    }

    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }

    static void CollectLog(void* data, int, SDL_LogPriority, const char* message)
    {
        static_cast<std::vector<std::string>*>(data)->push_back(message);
    }

    TempWorkDir dir_;
    std::vector<std::string> log_;
    SDL_LogOutputFunction savedLog_ = nullptr;
    void* savedLogData_ = nullptr;
};

// The pads iniSDL finds are the test's virtual joysticks only: on a machine
// with a joystick of its own these tests are skipped.
class IniSdlPadTest : public IniSdlTest {
  protected:
    void SetUp() override
    {
        IniSdlTest::SetUp();
        if (!HasFatalFailure() && SDL_NumJoysticks() > 0) {
            GTEST_SKIP() << "a joystick is attached to this machine";
        }
    }
};

TEST_F(IniSdlPadTest, NoJoystickMeansKeyboardAndTheNotice)
{
    FullScreen = false;
    const std::string out = RunIniSdl();

    EXPECT_NE(out.find("Kein Gamepad!\n"), std::string::npos) << out;
    EXPECT_EQ(PadName, "NoPad");
    EXPECT_TRUE(Keyboard);
    EXPECT_EQ(Mode, 3);
    EXPECT_EQ(PadMode, 2);
    EXPECT_EQ(controller, nullptr);

    // Window, renderer (the software one, as the dummy driver has no GL,
    // drawing into the window's surface), logical size, fonts and audio
    // device.
    ASSERT_NE(Window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(Window), "Vorlune");
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(Window, &w, &h);
    EXPECT_EQ(w, DMode.w);
    EXPECT_EQ(h, DMode.h);
    EXPECT_EQ(SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN, 0u);
    ASSERT_NE(Renderer, nullptr);
    SDL_RendererInfo info;
    ASSERT_EQ(SDL_GetRendererInfo(Renderer, &info), 0);
    EXPECT_STREQ(info.name, "software");
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION), "0");
    EXPECT_EQ(SDL_GetWindowFlags(Window) & SDL_WINDOW_OPENGL, 0u);
    // The dummy driver was asked for: nothing stops the game.
    EXPECT_EQ(MediaStartFailure(), "");
    SDL_RenderGetLogicalSize(Renderer, &w, &h);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    EXPECT_EQ(gFont[0], nullptr);
    EXPECT_NE(gFont[1], nullptr);
    EXPECT_NE(gFont[2], nullptr);
    EXPECT_NE(gFont[3], nullptr);
    EXPECT_EQ(gFont[4], nullptr);
    EXPECT_EQ(TTF_FontHeight(gFont[3]) > TTF_FontHeight(gFont[1]), true);
    EXPECT_EQ(TTF_FontHeight(gFont[1]) > TTF_FontHeight(gFont[2]), true);
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1);
    EXPECT_EQ(frequency, 44100);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    // The display lines go through the log function, not stdout.
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_[0], "Anzeige #0: Modus: " + std::to_string(DMode.w) + "x" +
                           std::to_string(DMode.h) + "px @ " + std::to_string(DMode.refresh_rate) +
                           "hz. ");
    EXPECT_EQ(out.find("Anzeige"), std::string::npos);

    // The renderer draws.
    SDL_SetRenderDrawColor(Renderer, 1, 2, 3, 255);
    EXPECT_EQ(SDL_RenderClear(Renderer), 0);
    SDL_RenderPresent(Renderer);

    // Antialiasing asks for these OpenGL attributes before the window is
    // made; Vsync 1 asks every renderer tried for vertical sync.
    const std::vector<std::pair<SDL_GLattr, int>> antialiasing = {{SDL_GL_DOUBLEBUFFER, 1},
                                                                  {SDL_GL_MULTISAMPLEBUFFERS, 1},
                                                                  {SDL_GL_MULTISAMPLESAMPLES, 2},
                                                                  {SDL_GL_ACCELERATED_VISUAL, 1}};
#ifdef VORLUNE_WRAPS_SDL
    EXPECT_EQ(recorded::glAttributes, antialiasing);
    EXPECT_FALSE(recorded::windowBeforeAttributes);
    ASSERT_FALSE(recorded::rendererFlags.empty());
    for (Uint32 flags : recorded::rendererFlags) {
        EXPECT_NE(flags & SDL_RENDERER_PRESENTVSYNC, 0u) << flags;
    }
#endif
}

TEST_F(IniSdlTest, FullScreenWindowWithoutAntialiasing)
{
    FullScreen = true;
    Vsync = 2; // anything but 1: no vertical sync
    RunIniSdl(false);
    ASSERT_NE(Window, nullptr);
    EXPECT_NE(SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_NE(Renderer, nullptr);
#ifdef VORLUNE_WRAPS_SDL
    EXPECT_TRUE(recorded::glAttributes.empty());
    ASSERT_FALSE(recorded::rendererFlags.empty());
    for (Uint32 flags : recorded::rendererFlags) {
        EXPECT_EQ(flags & SDL_RENDERER_PRESENTVSYNC, 0u) << flags;
    }
#endif
}

TEST_F(IniSdlPadTest, NewRawJoystickAsksForSetUp)
{
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Test Stick"), 0) << SDL_GetError();
    PadName = "Old Stick";
    const std::string out = RunIniSdl();

    EXPECT_EQ(PadMode, 2);
    EXPECT_EQ(Mode, 3);
    EXPECT_EQ(PadName, "Test Stick");
    EXPECT_FALSE(Keyboard);
    EXPECT_NE(Pad1[0], nullptr);
    EXPECT_EQ(out.find("Kein Gamepad!"), std::string::npos);
    EXPECT_EQ(out.find("Initialised Gamepad"), std::string::npos);
    EXPECT_NE(out.find("Kein Force-Feedback "), std::string::npos) << out;
    EXPECT_NE(out.find("Joystick gefunden 0\nName: Test Stick\nAchsen: 2\nButtons: 4\nBaelle: 0\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Gamepad konnte nicht angesteuert werden"), std::string::npos);
}

// Each diagnostic shows the layer's error text at the moment it is printed,
// not one left over from an earlier call (the refused open's text).
TEST_F(IniSdlPadTest, JoystickDiagnosticsShowTheCurrentErrorText)
{
#ifndef VORLUNE_WRAPS_SDL
    GTEST_SKIP() << "this linker cannot make a joystick open fail";
#else
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Stick A"), 0) << SDL_GetError();
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Stick B"), 0) << SDL_GetError();
    recorded::refusedJoystick = 1;
    const std::string out = RunIniSdl();
    recorded::refusedJoystick = -1;
    ASSERT_NE(Pad1[0], nullptr);
    EXPECT_EQ(Pad1[1], nullptr);
    EXPECT_EQ(PadName, "Stick A");
    EXPECT_EQ(Mode, 3);

    // The texts the layer gives for the calls made just before each line.
    EXPECT_EQ(SDL_HapticOpenFromJoystick(Pad1[0]), nullptr);
    const std::string noHaptic = SDL_GetError();
    EXPECT_EQ(SDL_HapticOpenFromJoystick(nullptr), nullptr);
    const std::string noHapticOfClosed = SDL_GetError();
    EXPECT_EQ(SDL_JoystickNumBalls(nullptr), -1);
    const std::string countOfClosed = SDL_GetError();
    for (const std::string& text : {noHaptic, noHapticOfClosed, countOfClosed}) {
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text, recorded::RefusalText);
    }
    EXPECT_EQ(out, "Kein Force-Feedback " + noHaptic +
                       "\nJoystick gefunden 0\nName: Stick A\nAchsen: 2\nButtons: 4\nBaelle: 0\n"
                       "Kein Force-Feedback " +
                       noHapticOfClosed +
                       "\nJoystick gefunden 0\nName: Stick B\nAchsen: -1\nButtons: -1\n"
                       "Baelle: -1\nGamepad konnte nicht angesteuert werden: " +
                       countOfClosed + "\n");
#endif
}

TEST_F(IniSdlPadTest, KnownRawJoystickKeepsItsMap)
{
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Test Stick"), 0) << SDL_GetError();
    PadName = "Test Stick";
    RunIniSdl();
    EXPECT_EQ(PadMode, 2);
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(PadName, "Test Stick");
    EXPECT_FALSE(Keyboard);
}

TEST_F(IniSdlPadTest, GameControllerNamesSetTheDualShockCorrection)
{
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual PS4 Pad"), 0) << SDL_GetError();
    PadName = "Something";
    const std::string out = RunIniSdl();
    EXPECT_NE(out.find("Initialised Gamepad as GameController, Name Virtual PS4 Pad\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(DualShockHack);
    EXPECT_NE(controller, nullptr);
    EXPECT_EQ(PadMode, 1);
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(PadName, "Something");
    EXPECT_FALSE(Keyboard);
    EXPECT_EQ(Pad1[0], nullptr);
}

TEST_F(IniSdlPadTest, ControllerWalkPassesOverRawSticksAndFallsBackWhenAnOpenFails)
{
    // A stick without a controller mapping at index 0 is passed over (and
    // sends the start-up on to the raw path as well); the mapped controller
    // at index 1 is opened and ends the walk.
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Raw Stick"), 0) << SDL_GetError();
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual Pad"), 0) << SDL_GetError();
    PadName = "Raw Stick";
    std::string out = RunIniSdl();
    ASSERT_NE(controller, nullptr);
    EXPECT_STREQ(SDL_GameControllerName(controller), "Virtual Pad");
    EXPECT_EQ(Occurrences(out, "Initialised Gamepad as GameController, Name "), 1u) << out;
    EXPECT_NE(out.find("Initialised Gamepad as GameController, Name Virtual Pad\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(PadMode, 2);
    EXPECT_NE(Pad1[0], nullptr);
    EXPECT_NE(Pad1[1], nullptr);
    EXPECT_EQ(Mode, 1);
    EXPECT_FALSE(Keyboard);
    sdltest::StopMedia();

#ifdef VORLUNE_WRAPS_SDL
    // A controller that does not open: the raw path takes it.
    ResetGlobals();
    ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0);
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual Pad"), 0);
    PadName = "Old Pad";
    recorded::failControllerOpen = true;
    out = RunIniSdl();
    recorded::failControllerOpen = false;
    EXPECT_EQ(controller, nullptr);
    EXPECT_EQ(out.find("Initialised Gamepad"), std::string::npos) << out;
    EXPECT_EQ(PadMode, 2);
    EXPECT_NE(Pad1[0], nullptr);
    EXPECT_EQ(Mode, 3);
    EXPECT_EQ(PadName, "Virtual Pad");
    EXPECT_FALSE(Keyboard);
#endif
}

TEST_F(IniSdlPadTest, DualShockDetectionIsCaseSensitiveAndSkippedWhenSet)
{
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "my dualshock pad"), 0);
    RunIniSdl();
    EXPECT_FALSE(DualShockHack);
    sdltest::StopMedia();

    ResetGlobals();
    ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0);
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "my DualShock pad"), 0);
    RunIniSdl();
    EXPECT_TRUE(DualShockHack);
    sdltest::StopMedia();

    ResetGlobals();
    ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0);
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual PS4 Pad"), 0);
    DualShockHackSet = true;
    RunIniSdl();
    EXPECT_FALSE(DualShockHack);
}

TEST_F(IniSdlPadTest, MoreThanTenJoysticksOpenOnlyTheFirstTen)
{
    for (int i = 0; i < 12; ++i) {
        const std::string name = "Stick " + std::to_string(i);
        ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, name.c_str()), 0) << SDL_GetError();
    }
    ASSERT_EQ(SDL_NumJoysticks(), 12);
    const std::string out = RunIniSdl();
    EXPECT_EQ(Occurrences(out, "Joystick gefunden 0\n"), 10u);
    EXPECT_NE(out.find("Name: Stick 9\n"), std::string::npos);
    EXPECT_EQ(out.find("Name: Stick 10\n"), std::string::npos);
    for (int i = 0; i < Padnumber; ++i) {
        EXPECT_NE(Pad1[i], nullptr) << i;
    }
    EXPECT_EQ(PadName, "Stick 0");
    EXPECT_EQ(Mode, 3);
}

// The drawing path: the accelerated renderer only where it really draws in
// hardware.
TEST(DrawingPathTest, DecisionTable)
{
    const auto A = DrawingPath::Accelerated;
    const auto S = DrawingPath::Software;
    struct Row {
        GpuDevice gpu;
        const char* renderer;
        const char* glRenderer;
        DrawingPath want;
    };
    const Row rows[] = {
        // Hardware OpenGL, Direct3D and Metal stay as they are.
        {GpuDevice::Present, "opengl", "AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)", A},
        {GpuDevice::Present, "opengl", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", A},
        {GpuDevice::Present, "opengles2", "NVIDIA GeForce GTX 1060/PCIe/SSE2", A},
        {GpuDevice::Present, "opengl", "virgl (AMD Radeon)", A},
        {GpuDevice::Unknown, "direct3d", "", A},
        {GpuDevice::Unknown, "direct3d11", "", A},
        {GpuDevice::Unknown, "metal", "", A},
        {GpuDevice::Unknown, "opengl", "Intel(R) Iris(R) Xe Graphics", A},
        // Software rasterisers behind OpenGL, in any case.
        {GpuDevice::Present, "opengl", "llvmpipe (LLVM 15.0.6, 256 bits)", S},
        {GpuDevice::Present, "opengl", "LLVMPIPE (LLVM 11.0.1, 128 bits)", S},
        {GpuDevice::Present, "opengl", "softpipe", S},
        {GpuDevice::Present, "opengles2", "Mesa DRI swrast", S},
        {GpuDevice::Present, "opengl", "Software Rasterizer", S},
        {GpuDevice::Unknown, "opengl", "GDI Generic", S},
        {GpuDevice::Unknown, "opengl", "Apple Software Renderer", S},
        {GpuDevice::Unknown, "opengles2", "Google SwiftShader", S},
        // No accelerated renderer could be made, or SDL gave its own
        // software renderer.
        {GpuDevice::Present, "", "", S},
        {GpuDevice::Unknown, "", "", S},
        {GpuDevice::Present, "software", "", S},
        // No GPU device: software whatever else is said.
        {GpuDevice::Absent, "", "", S},
        {GpuDevice::Absent, "opengl", "AMD Radeon RX 6600", S},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseDrawingPath(row.gpu, row.renderer, row.glRenderer), row.want)
            << row.renderer << " / " << row.glRenderer;
    }

    // The steps tried, in order, per video driver: the path, and whether an
    // accelerated renderer is kept only when it draws in hardware. Today's
    // first choice, then the software paths the driver can show, and the
    // accelerated renderer at the end whatever draws it; where the driver
    // has no window surface, the accelerated renderer first, whatever draws
    // it, and the texture path behind it.
    const auto T = DrawingPath::SoftwareTexture;
    const DrawingStep hardware{A, true};
    const DrawingStep any{A, false};
    const DrawingStep software{S, false};
    const DrawingStep texture{T, false};
    struct OrderRow {
        const char* driver;
        GpuDevice gpu;
        std::vector<DrawingStep> want;
    };
    const OrderRow orders[] = {
        {"x11", GpuDevice::Absent, {software, texture, any}},
        {"x11", GpuDevice::Present, {hardware, software, texture, any}},
        {"wayland", GpuDevice::Absent, {any, texture}},
        {"wayland", GpuDevice::Present, {any, texture}},
        {"KMSDRM", GpuDevice::Absent, {any, texture}},
        {"kmsdrm", GpuDevice::Present, {any, texture}},
        // GDI's surface is never backed by a texture.
        {"windows", GpuDevice::Unknown, {hardware, software, any}},
        // Drivers not named and none at all (video did not start): as X11.
        {"cocoa", GpuDevice::Unknown, {hardware, software, texture, any}},
        {"dummy", GpuDevice::Absent, {software, texture, any}},
        {"offscreen", GpuDevice::Absent, {software, texture, any}},
        {"", GpuDevice::Absent, {software, texture, any}},
    };
    for (const OrderRow& row : orders) {
        const std::vector<DrawingStep> order = DrawingOrder(row.driver, row.gpu);
        ASSERT_EQ(order.size(), row.want.size()) << row.driver;
        for (size_t i = 0; i < order.size(); ++i) {
            EXPECT_TRUE(order[i] == row.want[i])
                << row.driver << " / GPU device " << static_cast<int>(row.gpu) << ", step " << i
                << ": " << DrawingPathName(order[i].path)
                << (order[i].hardwareOnly ? " (hardware)" : "");
        }
    }

    // Only timing builds let the probe force a path, each by its name.
    for (DrawingPath path : {A, S, T}) {
        SDL_setenv("VORLUNE_DRAWING_PATH", DrawingPathName(path), 1);
        const DrawingPath* forced = ForcedDrawingPath();
        ASSERT_EQ(forced != nullptr, TimingEnabled()) << DrawingPathName(path);
        if (forced != nullptr) {
            EXPECT_EQ(*forced, path);
        }
    }
    SDL_setenv("VORLUNE_DRAWING_PATH", "", 1);
}

// High-DPI drawing is asked for wherever a GPU device may draw, and without
// one only up to the field's own pixels.
TEST(DrawingPathTest, HighDpiWhereItIsAffordable)
{
    struct Row {
        GpuDevice gpu;
        int w, h;
        bool ask;
    };
    const Row rows[] = {
        {GpuDevice::Present, 3840, 2160, true},
        {GpuDevice::Unknown, 7680, 4320, true},
        {GpuDevice::Absent, 1920, 1080, true},
        {GpuDevice::Absent, 1080, 1920, true},
        {GpuDevice::Absent, 0, 0, true},
        {GpuDevice::Absent, 1920, 1200, false},
        {GpuDevice::Absent, 3840, 2160, false},
        // Whose product overflows an int.
        {GpuDevice::Absent, 65536, 65536, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(AskHighDpi(row.gpu, row.w, row.h), row.ask)
            << static_cast<int>(row.gpu) << " " << row.w << "x" << row.h;
    }
    // Only timing builds let the probe force the choice.
    const std::pair<const char*, int> forced[] = {{"1", 1}, {"0", 0}, {"yes", -1}};
    for (const auto& f : forced) {
        SDL_setenv("VORLUNE_HIGH_DPI", f.first, 1);
        EXPECT_EQ(ForcedHighDpi(), TimingEnabled() ? f.second : -1) << f.first;
    }
    SDL_setenv("VORLUNE_HIGH_DPI", "", 1);
}

// The field fills screens a hair off 16:9 (less than a pixel of it lost)
// and keeps bars beside it on any other shape.
TEST(DrawingPathTest, FieldFillsScreensNearlySixteenByNine)
{
    const struct {
        int w, h;
        bool fills;
    } rows[] = {
        {1366, 768, true},   {1360, 768, false},  {1920, 1080, false}, {3840, 2160, false},
        {1365, 768, true},   {1921, 1080, true},  {1920, 1081, false}, {1922, 1080, false},
        {1920, 1200, false}, {2560, 1080, false}, {0, 0, false},       {1366, 0, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FieldFillsOutput(row.w, row.h), row.fills) << row.w << "x" << row.h;
    }
}

// SDL's last resorts without a display show nothing and take no input:
// the game stops on them unless they were asked for, as tests do.
TEST(DrawingPathTest, UnseenVideoDriverUnlessAskedFor)
{
    struct Row {
        const char* driver;
        const char* requested;
        bool unseen;
    };
    const Row rows[] = {
        {"offscreen", "", true},
        {"dummy", "", true},
        {"OFFSCREEN", "", true},
        {"offscreen", "offscreen", false},
        {"dummy", "dummy", false},
        {"dummy", "DUMMY", false},
        {"offscreen", "wayland,offscreen", false},
        {"offscreen", "x11,wayland", true},
        {"offscreen", "offscreen2", true},
        {"dummy", "dumm", true},
        {"dummy", ",", true},
        // Drivers that show a window, a console's screen included, and no
        // driver at all.
        {"x11", "", false},
        {"wayland", "", false},
        {"KMSDRM", "", false},
        {"windows", "", false},
        {"", "", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UnseenVideoDriver(row.driver, row.requested), row.unseen)
            << row.driver << " / \"" << row.requested << "\"";
    }
}

// The platform tests carry the game's manifest on Windows, which must then
// leave each display's own pixels to the program: an unaware or only
// system-aware one is stretched, blurred, on a scaled display. Wine 8
// answers per-monitor (never v2) for every program, whatever its manifest
// says, so under Wine this holds either way; the Windows e2e checks the
// manifest in the zip's vorlune.exe.
TEST(DisplayScalingTest, WindowsGivesTheGameEachDisplaysPixels)
{
    const DpiAwareness awareness = ProcessDpiAwareness();
    if (awareness == DpiAwareness::NotWindows || awareness == DpiAwareness::Unanswered) {
        GTEST_SKIP() << "display scaling awareness: " << DpiAwarenessName(awareness);
    }
    EXPECT_TRUE(awareness == DpiAwareness::PerMonitor || awareness == DpiAwareness::PerMonitorV2)
        << "display scaling awareness: " << DpiAwarenessName(awareness);
}

TEST_F(IniSdlTest, NoVideoDriverLeavesWindowAndRendererEmpty)
{
    SDL_setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    const std::string out = RunIniSdl();
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EQ(out.find("SDL konnte nicht initialisiert werden: "), 0u) << out;
    EXPECT_EQ(Window, nullptr);
    EXPECT_EQ(Renderer, nullptr);
    EXPECT_EQ(DMode.w, 0);
    EXPECT_TRUE(log_.empty());
    // Fonts and pads are still set up.
    EXPECT_NE(gFont[1], nullptr);
    // Every path of the chain was tried, and the line to print gives the
    // reason SDL gave for each, not a text left by the fonts or the audio.
    std::string want = "Vorlune cannot run without a window and a renderer: ";
    const std::vector<DrawingStep> order = DrawingOrder("", FindGpuDevice());
    for (size_t i = 0; i < order.size(); ++i) {
        want += std::string(i == 0 ? "" : "; ") + DrawingPathName(order[i].path) +
                " path: no window: no-such-driver not available";
    }
    EXPECT_EQ(MediaStartFailure(), want);
}

// The drawing chain: each path starts from a new window with its own
// framebuffer hint, a path that fails puts the hint back as it was, and when
// every path fails the program ends with the reason SDL gave for each.
TEST_F(IniSdlTest, DrawingChainTriesEachPathOnANewWindow)
{
#ifndef VORLUNE_WRAPS_SDL
    GTEST_SKIP() << "this linker cannot make a renderer fail";
#else
    std::vector<DrawingPath> order;
    for (const DrawingStep& step : DrawingOrder("dummy", FindGpuDevice())) {
        order.push_back(step.path);
    }
    ASSERT_GE(order.size(), 3u);
    // The hint each path draws with; the accelerated one keeps the value
    // found (here a player's own choice of renderer for window surfaces).
    const auto hintOf = [](DrawingPath path) -> std::string {
        return path == DrawingPath::Software          ? "0"
               : path == DrawingPath::SoftwareTexture ? "1"
                                                      : "opengl";
    };
    // The record of one path on the window numbered `id`: the dummy driver
    // has no OpenGL, so the window asked for with OpenGL fails first.
    const auto pathRecord = [&hintOf](DrawingPath path, const std::string& id) {
        std::vector<std::string> lines;
        if (path != DrawingPath::Software) {
            lines.push_back("no window");
        }
        lines.push_back("window " + id + " hint " + hintOf(path));
        lines.push_back("renderer " + id + " hint " + hintOf(path));
        return lines;
    };
    // The numbers of the windows made, in order.
    const auto windowIds = [] {
        std::vector<std::string> ids;
        for (const std::string& line : recorded::drawing) {
            if (line.rfind("window ", 0) == 0) {
                ids.push_back(line.substr(7, line.find(' ', 7) - 7));
            }
        }
        return ids;
    };

    // Every path fails: the whole start-up ends with status 1 and one line.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "opengl");
    for (size_t i = 1; i <= order.size(); ++i) {
        recorded::refusedRenderers.push_back(static_cast<int>(i));
    }
    testing::internal::CaptureStdout();
    const int status = RunVorlune();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 1);
    std::vector<std::string> ids = windowIds();
    ASSERT_EQ(ids.size(), order.size());
    std::vector<std::string> want;
    std::string line = "Vorlune cannot run without a window and a renderer: ";
    for (size_t i = 0; i < order.size(); ++i) {
        for (const std::string& entry : pathRecord(order[i], ids[i])) {
            want.push_back(entry);
        }
        want.push_back("destroy " + ids[i]);
        line += std::string(i == 0 ? "" : "; ") + DrawingPathName(order[i]) + " path: renderer " +
                std::to_string(i + 1) + " refused by the test";
        if (i > 0) {
            EXPECT_NE(ids[i], ids[i - 1]);
        }
    }
    EXPECT_EQ(recorded::drawing, want);
    const size_t last = out.rfind('\n', out.size() - 2);
    EXPECT_EQ(out.substr(last == std::string::npos ? 0 : last + 1), line + "\n") << out;
    EXPECT_EQ(Window, nullptr);
    EXPECT_EQ(Renderer, nullptr);
    sdltest::StopMedia();

    // The first path fails, the second one draws: on its own new window,
    // with its own hint, and nothing stops the game.
    ResetGlobals();
    ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0);
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "opengl");
    recorded::drawing.clear();
    recorded::rendererCalls = 0;
    recorded::refusedRenderers = {1};
    FullScreen = false;
    RunIniSdl();
    ids = windowIds();
    ASSERT_EQ(ids.size(), 2u);
    want = pathRecord(order[0], ids[0]);
    want.push_back("destroy " + ids[0]);
    for (const std::string& entry : pathRecord(order[1], ids[1])) {
        want.push_back(entry);
    }
    EXPECT_EQ(recorded::drawing, want);
    ASSERT_NE(Window, nullptr);
    EXPECT_EQ(std::to_string(SDL_GetWindowID(Window)), ids[1]);
    EXPECT_NE(Renderer, nullptr);
    EXPECT_EQ(recorded::Hint(), hintOf(order[1]));
    EXPECT_EQ(MediaStartFailure(), "");
#endif
}

} // namespace
