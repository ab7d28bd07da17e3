#include "platform/media.h"

#include "platform/drawing.h"
#include "platform/timing.h"
#include "world/globals.h"

#include <SDL_image.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* OrEmpty(const char* s)
{
    return s != nullptr ? s : "";
}

void Print(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// The full-screen flag for the video driver SDL runs on.
Uint32 FullScreenFlag()
{
    return DesktopFullScreen(OrEmpty(SDL_GetCurrentVideoDriver())) ? SDL_WINDOW_FULLSCREEN_DESKTOP
                                                                   : SDL_WINDOW_FULLSCREEN;
}

// The pixels of the largest display: each lists its modes largest first,
// and on Wayland the first is the output's own pixels while the current
// mode is in the desktop's scaled coordinates.
void LargestDisplay(int* w, int* h)
{
    *w = 0;
    *h = 0;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(i, 0, &mode) == 0 &&
            static_cast<long long>(mode.w) * mode.h > static_cast<long long>(*w) * *h) {
            *w = mode.w;
            *h = mode.h;
        }
    }
}

// `graphicsFlags`: SDL_WINDOW_OPENGL for the paths that draw with it, and
// SDL_WINDOW_ALLOW_HIGHDPI where AskHighDpi says so.
SDL_Window* OpenWindow(Uint32 graphicsFlags)
{
    int w = DMode.w;
    int h = DMode.h;
    // No display answered the mode query: fall back to the playfield's size
    // instead of a window of no size.
    if (w < 1 || h < 1) {
        w = 1920;
        h = 1080;
    }
    Uint32 flags = SDL_WINDOW_SHOWN | graphicsFlags;
    if (FullScreen) {
        flags |= FullScreenFlag();
    }
    SDL_Window* window =
        SDL_CreateWindow("Vorlune", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
    if (window == nullptr && (flags & SDL_WINDOW_OPENGL) != 0) {
        // Video drivers without OpenGL still give a window for the software
        // renderer.
        window = SDL_CreateWindow("Vorlune", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h,
                                  flags & ~SDL_WINDOW_OPENGL);
    }
    return window;
}

// Gives the window the game's icon from the working folder. A missing or
// unreadable picture is skipped without a word, and the media layer's error
// text stays what it was, so later diagnostics read as before.
void SetWindowIcon(SDL_Window* window)
{
    if (window == nullptr) {
        return;
    }
    const std::string error = SDL_GetError();
    SDL_Surface* icon = IMG_Load("media/icon.png");
    if (icon == nullptr) {
        SDL_SetError("%s", error.c_str());
        return;
    }
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// Why no drawing path gave a window and a renderer, one reason per path;
// empty once one did.
std::string DrawingFailure;

// SDL's framebuffer hint, which says how the software renderer's window
// surface reaches the screen. It is process-wide, and SDL reads it when it
// makes the first window surface, so each path sets it before its window is
// made: the accelerated path, and the end of a chain that gave nothing, put
// back what was there before.
class FramebufferHint {
  public:
    FramebufferHint()
    {
        const char* value = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        had_ = value != nullptr;
        value_ = OrEmpty(value);
    }

    void SetFor(DrawingPath path) const
    {
        if (path == DrawingPath::Software) {
            // Without this SDL would hand the finished frame to OpenGL once
            // more to show it (or load OpenGL only to ask whether it should).
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        } else if (path == DrawingPath::SoftwareTexture) {
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
        } else {
            PutBack();
        }
    }

    void PutBack() const
    {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, had_ ? value_.c_str() : nullptr);
    }

  private:
    bool had_ = false;
    std::string value_;
};

void CloseDrawing()
{
    if (Renderer != nullptr) {
        SDL_DestroyRenderer(Renderer);
        Renderer = nullptr;
    }
    if (Window != nullptr) {
        SDL_DestroyWindow(Window);
        Window = nullptr;
    }
}

// Makes a new Window and its Renderer for one drawing path. Returns the
// reason SDL gave, read right after the call that failed, or empty.
std::string OpenDrawingPath(DrawingPath path, Uint32 vsync, Uint32 highDpi)
{
    // The texture behind a software surface belongs to an OpenGL renderer
    // of the same window.
    Window = OpenWindow((path == DrawingPath::Software ? 0 : SDL_WINDOW_OPENGL) | highDpi);
    if (Window == nullptr) {
        return std::string("no window: ") + SDL_GetError();
    }
    const Uint32 kind =
        path == DrawingPath::Accelerated ? SDL_RENDERER_ACCELERATED : SDL_RENDERER_SOFTWARE;
    Renderer = SDL_CreateRenderer(Window, -1, kind | vsync);
    if (Renderer == nullptr) {
        const std::string reason = SDL_GetError();
        CloseDrawing();
        return reason;
    }
    return "";
}

// Makes Window and Renderer on the first step of the drawing chain that
// gives both (DrawingOrder): where there is no GPU device, the software
// renderer into the window's own surface; where the video driver has no
// such surface (Wayland, KMSDRM), the accelerated renderer; otherwise the
// accelerated renderer, kept only when it really draws in hardware. Each
// step starts from a new window. On a machine without a GPU device that has
// a window surface no OpenGL library is ever loaded.
//
// Thread rule on the software paths: the graphics thread presents by copying
// the window surface to the X server (or GDI, or through the texture) while
// the main thread pumps events, as it swaps OpenGL buffers on the
// accelerated path. The one thing the event pump would change under the
// renderer is the window surface after a size change, and the window keeps
// its size: it is not resizable and goes full screen before the threads
// start.
//
// SDL decides only once per start of its video subsystem whether window
// surfaces go through a texture, at the first one it makes; after a failed
// software path the texture path can therefore only succeed if that failure
// came before the surface (no window). The accelerated path at the end of
// every chain needs no surface.
void OpenDrawing()
{
    const Uint32 vsync = Vsync == 1 ? SDL_RENDERER_PRESENTVSYNC : 0;
    const DrawingPath* forced = ForcedDrawingPath();
    const GpuDevice gpu = FindGpuDevice();
    const std::string driver = OrEmpty(SDL_GetCurrentVideoDriver());
    int outputW = 0;
    int outputH = 0;
    LargestDisplay(&outputW, &outputH);
    const int forcedHighDpi = ForcedHighDpi();
    const bool askHighDpi =
        forcedHighDpi >= 0 ? forcedHighDpi == 1 : AskHighDpi(gpu, outputW, outputH);
    const Uint32 highDpi = askHighDpi ? SDL_WINDOW_ALLOW_HIGHDPI : 0;
    const std::vector<DrawingStep> order =
        forced != nullptr ? std::vector<DrawingStep>{{*forced, false}} : DrawingOrder(driver, gpu);
    const FramebufferHint hint;
    std::vector<std::string> passedOver;
    std::string failures;
    for (const DrawingStep& step : order) {
        const DrawingPath path = step.path;
        hint.SetFor(path);
        std::string reason = OpenDrawingPath(path, vsync, highDpi);
        if (reason.empty()) {
            SDL_RendererInfo info;
            const std::string name =
                SDL_GetRendererInfo(Renderer, &info) == 0 ? OrEmpty(info.name) : "";
            const std::string glRenderer = CurrentGlRenderer();
            if (!step.hardwareOnly ||
                ChooseDrawingPath(gpu, name, glRenderer) == DrawingPath::Accelerated) {
                ReportDrawingPath(path, driver, gpu, name, glRenderer, passedOver);
                DrawingFailure.clear();
                return;
            }
            reason = "draws in software (" + name + ", OpenGL \"" + glRenderer + "\")";
            CloseDrawing();
        } else {
            failures += std::string(failures.empty() ? "" : "; ") + DrawingPathName(path) +
                        " path: " + reason;
        }
        passedOver.push_back(std::string(DrawingPathName(path)) + ": " + reason);
    }
    hint.PutBack();
    DrawingFailure = failures;
}

bool NameHasShock(const char* name)
{
    static const char* const marks[] = {"PS4", "PS3", "PS2", "Shock"};
    bool found = false;
    for (const char* mark : marks) {
        if (std::strstr(name, mark) != nullptr) {
            found = true;
        }
    }
    return found;
}

// The game-controller walk: opens the first device with a mapping. Devices
// that cannot serve as a mapped game controller send the start-up on to the
// raw-joystick path, whose set-up prompts let the player map them.
void OpenGameController()
{
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i)) {
            PadMode = 2;
            continue;
        }
        controller = SDL_GameControllerOpen(i);
        if (controller == nullptr) {
            PadMode = 2;
            continue;
        }
        const char* name = OrEmpty(SDL_GameControllerName(controller));
        std::printf("Initialised Gamepad as GameController, Name %s\n", name);
        std::fflush(stdout);
        if (!DualShockHackSet && NameHasShock(name)) {
            DualShockHack = true;
        }
        char* mapping = SDL_GameControllerMapping(controller);
        if (mapping != nullptr) {
            SDL_free(mapping);
            return;
        }
        PadMode = 2;
    }
    if (SDL_NumJoysticks() <= 0) {
        PadMode = 2;
    }
}

void OpenRawJoysticks()
{
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_NumJoysticks() <= 0) {
        Print("Kein Gamepad!\n");
        PadName = "NoPad";
        Keyboard = true;
        Mode = 3;
        return;
    }
    // Pad1 and ControllerHaptic hold Padnumber devices; further ones are
    // left closed.
    for (int i = 0; i < SDL_NumJoysticks() && i < Padnumber; ++i) {
        SDL_JoystickEventState(SDL_ENABLE);
        Pad1[i] = SDL_JoystickOpen(i);
        // Each diagnostic below shows the layer's error text as it stands
        // when the line is printed (the haptic open of a joystick that did
        // not open reports an invalid joystick).
        ControllerHaptic[i] = SDL_HapticOpenFromJoystick(Pad1[i]);
        if (ControllerHaptic[i] == nullptr) {
            std::printf("Kein Force-Feedback %s\n", SDL_GetError());
        } else if (SDL_HapticRumbleInit(ControllerHaptic[i]) < 0) {
            std::printf("Warning: Unable to initialize rumble! SDL Error: %s\n", SDL_GetError());
        }
        std::printf("Joystick gefunden 0\n");
        std::printf("Name: %s\n", OrEmpty(SDL_JoystickNameForIndex(i)));
        std::printf("Achsen: %d\n", SDL_JoystickNumAxes(Pad1[i]));
        std::printf("Buttons: %d\n", SDL_JoystickNumButtons(Pad1[i]));
        std::printf("Baelle: %d\n", SDL_JoystickNumBalls(Pad1[i]));
        if (Pad1[i] == nullptr) {
            std::printf("Gamepad konnte nicht angesteuert werden: %s\n", SDL_GetError());
        }
        std::fflush(stdout);
    }
    if (Pad1[0] != nullptr) {
        std::string name = OrEmpty(SDL_JoystickNameForIndex(0));
        if (name != PadName) {
            Mode = 3;
            PadName = name;
        }
    }
}

// SDL reads the logical size mode each time it fits the field to the
// output, also when the window's size changes.
void ChooseFieldFit(int w, int h)
{
    SDL_SetHint(SDL_HINT_RENDER_LOGICAL_SIZE_MODE,
                FieldFillsOutput(w, h) ? "overscan" : "letterbox");
}

// Runs before the renderer's own watch (added when the renderer is made),
// so the mode fits the window's new size before SDL fits the field to it.
int FieldFitWatch(void*, SDL_Event* event)
{
    if (event->type == SDL_WINDOWEVENT &&
        (event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
         event->window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)) {
        SDL_Window* window = SDL_GetWindowFromID(event->window.windowID);
        if (window != nullptr) {
            int w = 0;
            int h = 0;
            SDL_GetWindowSizeInPixels(window, &w, &h);
            ChooseFieldFit(w, h);
        }
    }
    return 0;
}

} // namespace

void FitFieldToOutput(SDL_Renderer* renderer)
{
    int w = 0;
    int h = 0;
    SDL_GetRendererOutputSize(renderer, &w, &h);
    ChooseFieldFit(w, h);
    SDL_RenderSetLogicalSize(renderer, 1920, 1080);
}

void iniSDL(bool antialiasing)
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::printf("SDL konnte nicht initialisiert werden: %s\n", SDL_GetError());
        std::fflush(stdout);
    } else {
        if (!SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1")) {
            Print("Warning: Linear texture filtering not enabled!");
        }
        if (antialiasing) {
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
            SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 2);
            SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
        }
        int displays = SDL_GetNumVideoDisplays();
        for (int i = 0; i < displays; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetCurrentDisplayMode(i, &mode) != 0) {
                SDL_Log("SDL-Fehler bei der Ausgabe #%d: %s", i, SDL_GetError());
            } else {
                DMode = mode;
                SDL_Log("Anzeige #%d: Modus: %dx%dpx @ %dhz. \n", i, mode.w, mode.h,
                        mode.refresh_rate);
            }
        }
    }

    SDL_DelEventWatch(FieldFitWatch, nullptr);
    SDL_AddEventWatch(FieldFitWatch, nullptr);
    OpenDrawing();
    SetWindowIcon(Window);
    if (Renderer != nullptr) {
        FitFieldToOutput(Renderer);
    }

    if (TTF_Init() == -1) {
        std::printf("SDL_ttf could not initialize! SDL_ttf Error: %s\n", TTF_GetError());
        std::fflush(stdout);
    }
    gFont[1] = TTF_OpenFont("NegativeSpace.ttf", 96);
    gFont[2] = TTF_OpenFont("NegativeSpace.ttf", 40);
    gFont[3] = TTF_OpenFont("NegativeSpace.ttf", 250);

    if (FullScreen && Window != nullptr) {
        SDL_SetWindowFullscreen(Window, FullScreenFlag());
    }
    if (TimingEnabled() && Renderer != nullptr) {
        // What the probe compares on scaled outputs: the window in the
        // desktop's coordinates, the renderer's output in pixels.
        int ww = 0;
        int wh = 0;
        int pw = 0;
        int ph = 0;
        SDL_GetWindowSize(Window, &ww, &wh);
        SDL_GetRendererOutputSize(Renderer, &pw, &ph);
        std::printf(
            "timing: window %dx%d, renderer output %dx%d pixels, high DPI %s\n", ww, wh, pw, ph,
            (SDL_GetWindowFlags(Window) & SDL_WINDOW_ALLOW_HIGHDPI) != 0 ? "asked" : "not asked");
        std::fflush(stdout);
    }

    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0) {
        std::printf("Ton-Wiedergabe nicht möglich :(: %s\n", Mix_GetError());
        std::fflush(stdout);
    }

    SDL_ShowCursor(SDL_DISABLE);

    if (PadMode == 1) {
        OpenGameController();
    }
    if (PadMode == 2) {
        OpenRawJoysticks();
    }
}

bool UnseenVideoDriver(const std::string& driver, const std::string& requested)
{
    if (SDL_strcasecmp(driver.c_str(), "offscreen") != 0 &&
        SDL_strcasecmp(driver.c_str(), "dummy") != 0) {
        return false;
    }
    // SDL tries the names of a comma-separated list in turn, each whole and
    // in any case.
    size_t from = 0;
    for (;;) {
        const size_t comma = requested.find(',', from);
        const std::string name = requested.substr(from, comma - from);
        if (SDL_strcasecmp(name.c_str(), driver.c_str()) == 0) {
            return false;
        }
        if (comma == std::string::npos) {
            return true;
        }
        from = comma + 1;
    }
}

std::string MediaStartFailure()
{
    const std::string driver = OrEmpty(SDL_GetCurrentVideoDriver());
    if (UnseenVideoDriver(driver, OrEmpty(SDL_GetHint(SDL_HINT_VIDEODRIVER)))) {
        const char* x11 = SDL_getenv("DISPLAY");
        const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
        const auto shown = [](const char* name, const char* value) {
            return value != nullptr ? std::string(name) + "=\"" + value + "\""
                                    : std::string(name) + " not set";
        };
        return "Vorlune found no display to show its window on (" + shown("DISPLAY", x11) + ", " +
               shown("WAYLAND_DISPLAY", wayland) + "; SDL fell back to its " + driver +
               " video driver, which no one can see): start it in a desktop session, or set "
               "DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) to the display to use.";
    }
    if (Window == nullptr || Renderer == nullptr) {
        return "Vorlune cannot run without a window and a renderer: " + DrawingFailure;
    }
    return "";
}

void ReleaseRenderContext()
{
    // A GL context may be current on one thread only; the graphics thread's
    // renderer makes it current there on its first draw.
    if (Window != nullptr && SDL_GL_GetCurrentContext() != nullptr) {
        SDL_GL_MakeCurrent(Window, nullptr);
    }
}
