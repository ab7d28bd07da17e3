#include "world/startup.h"

#include "input/events.h"
#include "persist/scores.h"
#include "persist/settings.h"
#include "platform/audio.h"
#include "platform/media.h"
#include "render/graphics.h"
#include "render/images.h"
#include "render/textbox.h"
#include "screens/menu.h"
#include "world/globals.h"
#include "world/logic.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int RunVorlune()
{
    // Diagnostics reach a log or pipe line by line, even if the game is killed.
    // (The Windows runtime treats line buffering as full buffering.)
#ifdef _WIN32
    std::setvbuf(stdout, nullptr, _IONBF, 0);
#else
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
#endif
    loadSettings("Settings.txt");
    // The window's close button is ignored by design, but Ctrl+C and kill
    // still end the program the usual way: SDL must not turn them into quit
    // events that nobody acts on. Both files are replaced atomically, so an
    // interrupted write loses nothing.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    iniSDL(AA);
    // Start-up carries on after every problem but two: without a window and a
    // renderer nothing can be shown, and a game on a display no one has would
    // wait for keys forever.
    const std::string failure = MediaStartFailure();
    if (!failure.empty()) {
        std::printf("%s\n", failure.c_str());
        std::fflush(stdout);
        SDL_Quit();
        return 1;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    loadScore("Scores.txt");
    SaveScores();
    LoadSounds();
    loadImages("Liste.txt");
    DefBoxes();

    // From here on only the graphics thread draws and creates textures.
    ReleaseRenderContext();
    SDL_Thread* logic = SDL_CreateThread(ObjectLogic, "Logic", nullptr);
    SDL_Thread* graphic = SDL_CreateThread(GraphicHandler, "Graphic", nullptr);
    if (logic == nullptr || graphic == nullptr) {
        std::printf("Unable to start the game threads: %s\n", SDL_GetError());
        std::fflush(stdout);
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            running = false;
        }
        SDL_WaitThread(logic, nullptr);
        SDL_WaitThread(graphic, nullptr);
        SDL_Quit();
        return 1;
    }

    {
        std::lock_guard<std::mutex> lock(StateMutex);
        IniMenu(false);
    }

    for (;;) {
        bool handleInput = false;
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            if (!running) {
                break;
            }
            // Only the warning screen ignores input during its first 500
            // ticks. Every other screen handles it whatever the countdown
            // holds: the controller set-up takes its answers from the event
            // handler, and the high-score list, which a key held as the
            // keyboard notice runs out opens before the countdown has started,
            // must still answer Escape (the countdown only runs in Mode 2).
            handleInput = FreshStart < 3500 || Mode != 2;
        }
        if (handleInput) {
            Events();
        }
        MusicMan();
        SDL_Delay(16);
    }

    // Both threads end within one pass once running is false.
    SDL_WaitThread(logic, nullptr);
    SDL_WaitThread(graphic, nullptr);
    std::fflush(stdout);
    SDL_Quit();
    return 0;
}
