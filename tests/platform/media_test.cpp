#include "platform/drawing.h"
#include "platform/media.h"
#include "platform/timing.h"
#include "support/sdl_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

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
        hostJoysticks_ = SDL_NumJoysticks();
        SDL_LogGetOutputFunction(&savedLog_, &savedLogData_);
        SDL_LogSetOutputFunction(&IniSdlTest::CollectLog, &log_);
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
    int hostJoysticks_ = 0;
    std::vector<std::string> log_;
    SDL_LogOutputFunction savedLog_ = nullptr;
    void* savedLogData_ = nullptr;
};

TEST_F(IniSdlTest, NoJoystickMeansKeyboardAndTheNotice)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
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
}

TEST_F(IniSdlTest, FullScreenWindowWithoutAntialiasing)
{
    // The software renderer of the dummy driver always reports vertical
    // sync, so only the window side of the settings can be seen here.
    FullScreen = true;
    Vsync = 2;
    RunIniSdl(false);
    ASSERT_NE(Window, nullptr);
    EXPECT_NE(SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_NE(Renderer, nullptr);
}

TEST_F(IniSdlTest, NewRawJoystickAsksForSetUp)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
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

TEST_F(IniSdlTest, KnownRawJoystickKeepsItsMap)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
    ASSERT_GE(Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Test Stick"), 0) << SDL_GetError();
    PadName = "Test Stick";
    RunIniSdl();
    EXPECT_EQ(PadMode, 2);
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(PadName, "Test Stick");
    EXPECT_FALSE(Keyboard);
}

TEST_F(IniSdlTest, GameControllerNamesSetTheDualShockCorrection)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
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

TEST_F(IniSdlTest, DualShockDetectionIsCaseSensitiveAndSkippedWhenSet)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
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

TEST_F(IniSdlTest, MoreThanTenJoysticksOpenOnlyTheFirstTen)
{
    if (hostJoysticks_ > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
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
    // Only timing builds let the probe force a path.
    SDL_setenv("VORLUNE_DRAWING_PATH", "software", 1);
    EXPECT_EQ(ForcedDrawingPath() != nullptr, TimingEnabled());
    SDL_setenv("VORLUNE_DRAWING_PATH", "", 1);
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
}

} // namespace
