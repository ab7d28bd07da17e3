// Soak of the pad path: the real logic and graphics threads run while the main
// thread plays with twelve virtual joysticks (more than the game keeps open),
// moving sticks, pressing buttons and unplugging and replugging devices at
// random. Built to run under ThreadSanitizer and AddressSanitizer; the length
// comes from VORLUNE_SOAK_SECONDS (3 s by default, so the normal suite stays
// quick), and the run goes on past it until a game has been left for the
// menu. Resident memory is printed at start and end; it is checked only in
// runs of at least 10 s without AddressSanitizer (scripts/sanitize.sh soaks
// 25 s under ThreadSanitizer), as a short run never gets warm.
#include "input/events.h"
#include "persist/scores.h"
#include "platform/audio.h"
#include "platform/media.h"
#include "render/graphics.h"
#include "render/images.h"
#include "render/textbox.h"
#include "screens/menu.h"
#include "support/reliability_support.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/logic.h"

#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kSticks = 12;
constexpr int kAxes = 6;
constexpr int kButtons = 10;
// The map the soak's joysticks are set up with: left stick on axes 0/1,
// right stick on 2/3, fire on buttons 4 and 5, start on 6.
constexpr int kLeftFire = 4;
constexpr int kRightFire = 5;
constexpr int kStart = 6;

// AddressSanitizer keeps freed memory in a quarantine of up to 256 MB, which
// fills at the pace the game allocates: resident memory then says nothing
// about leaks (LeakSanitizer covers those there).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kQuarantineHoldsMemory = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kQuarantineHoldsMemory = true;
#else
constexpr bool kQuarantineHoldsMemory = false;
#endif
#else
constexpr bool kQuarantineHoldsMemory = false;
#endif

int SoakSeconds()
{
    const char* text = std::getenv("VORLUNE_SOAK_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 3;
}

// One virtual joystick held open by the test, so that it can move its
// sticks and press its buttons.
struct Stick {
    SDL_Joystick* handle = nullptr;
};

int AttachStick(int serial)
{
    const std::string name = "Soak Stick " + std::to_string(serial);
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = kAxes;
    desc.nbuttons = kButtons;
    desc.name = name.c_str();
    return SDL_JoystickAttachVirtualEx(&desc);
}

int DeviceIndexOf(SDL_Joystick* joystick)
{
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) {
            return i;
        }
    }
    return -1;
}

class PadSoak : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ResetGlobals();
        work_ = std::make_unique<sdltest::TempWorkDir>();
        ASSERT_TRUE(reliability::CopyRunDirectoryHere()) << "no media in VORLUNE_RUN_DIR";
    }

    void TearDown() override
    {
        StopThreads();
        for (Stick& s : sticks_) {
            if (s.handle != nullptr) {
                SDL_JoystickClose(s.handle);
            }
        }
        sticks_.clear();
        sdltest::StopMedia();
        ResetGlobals();
        work_.reset();
    }

    void StartThreads()
    {
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            running = true;
        }
        logic_ = SDL_CreateThread(ObjectLogic, "Logic", nullptr);
        graphic_ = SDL_CreateThread(GraphicHandler, "Graphic", nullptr);
        ASSERT_NE(logic_, nullptr) << SDL_GetError();
        ASSERT_NE(graphic_, nullptr) << SDL_GetError();
    }

    void StopThreads()
    {
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            running = false;
        }
        SDL_WaitThread(logic_, nullptr);
        SDL_WaitThread(graphic_, nullptr);
        logic_ = nullptr;
        graphic_ = nullptr;
    }

    struct Counts {
        long polls = 0, moves = 0, presses = 0, replugs = 0, restarts = 0, games = 0;
        long returns = 0; // games left for the menu (or ended by themselves)
        long stuck = 0;   // games that Start did not leave within 2 s
    };
    struct Screen {
        int32_t mode = 0, menuMode = 0, menu = 0, freshStart = 0;
        bool running = true;
    };

    // Random stick positions and button changes on a few joysticks. In play
    // the fire buttons dominate and Start (back to the menu) is rare.
    void RandomInput(std::mt19937& rng, bool playing, Counts& counts)
    {
        static const Sint16 positions[] = {-32768, -25000, -10000, 0, 0, 10000, 25000, 32767};
        const int changes = static_cast<int>(rng() % 4);
        for (int c = 0; c < changes; ++c) {
            Stick& s = sticks_[rng() % sticks_.size()];
            if (rng() % 3 != 0) {
                SDL_JoystickSetVirtualAxis(s.handle, static_cast<int>(rng() % kAxes),
                                           positions[rng() % 8]);
                ++counts.moves;
            } else {
                static const int menuButtons[] = {kLeftFire, kLeftFire, kRightFire, kStart, 0, 9};
                int button = menuButtons[rng() % 6];
                if (playing) {
                    button = rng() % 50 == 0 ? kStart : (rng() % 2 ? kLeftFire : kRightFire);
                }
                SDL_JoystickSetVirtualButton(s.handle, button, static_cast<Uint8>(rng() % 2));
                ++counts.presses;
            }
        }
    }

    void CentreAll()
    {
        for (Stick& s : sticks_) {
            for (int a = 0; a < kAxes; ++a) {
                SDL_JoystickSetVirtualAxis(s.handle, a, 0);
            }
            for (int b = 0; b < kButtons; ++b) {
                SDL_JoystickSetVirtualButton(s.handle, b, 0);
            }
        }
    }

    // One step through the menus towards "Start Game" with the first stick,
    // the others at rest: every other turn pushes (or presses), the turns in
    // between let go, so each push acts once.
    void SteerTowardsGame(const Screen& screen, bool pushed)
    {
        SDL_Joystick* j = sticks_[0].handle;
        if (pushed) {
            SDL_JoystickSetVirtualAxis(j, 0, 0);
            SDL_JoystickSetVirtualAxis(j, 1, 0);
            SDL_JoystickSetVirtualButton(j, kLeftFire, 0);
            SDL_JoystickSetVirtualButton(j, kStart, 0);
            return;
        }
        if (screen.mode == 5) {
            SDL_JoystickSetVirtualButton(j, kStart, 1); // confirm the name
        } else if (screen.mode == 4 || (screen.mode == 2 && screen.freshStart > 0)) {
            SDL_JoystickSetVirtualAxis(j, 0, 32767); // next list, back to the menu
        } else if (screen.mode == 2) {
            const int entries = screen.menuMode == 1 ? 3 : 6;
            const int want = screen.menuMode == 1 ? 1 : 6; // "Start Game" or "Back"
            const int at = ((screen.menu - 1) % entries + entries) % entries + 1;
            if (at != want) {
                SDL_JoystickSetVirtualAxis(j, 1, -32768); // up
            } else {
                SDL_JoystickSetVirtualButton(j, kLeftFire, 1);
            }
        }
    }

    std::unique_ptr<sdltest::TempWorkDir> work_;
    std::vector<Stick> sticks_;
    SDL_Thread* logic_ = nullptr;
    SDL_Thread* graphic_ = nullptr;
};

TEST_F(PadSoak, ThreadsRunWhileTwelveVirtualJoysticksPlay)
{
    ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    if (SDL_NumJoysticks() > 0) {
        GTEST_SKIP() << "a joystick is attached to this machine";
    }
    for (int i = 0; i < kSticks; ++i) {
        ASSERT_GE(AttachStick(i), 0) << SDL_GetError();
    }
    for (int i = 0; i < kSticks; ++i) {
        Stick s;
        s.handle = SDL_JoystickOpen(i);
        ASSERT_NE(s.handle, nullptr) << SDL_GetError();
        sticks_.push_back(s);
    }

    // Start-up as the program does it, with a stored map for the first
    // joystick so that no set-up prompts run.
    FullScreen = false;
    PadName = "Soak Stick 0";
    int32_t* map = Players[1].PadMap;
    map[1] = 1;
    map[2] = 0;
    map[3] = 3;
    map[4] = 2;
    map[11] = kLeftFire;
    map[12] = kRightFire;
    map[13] = kStart;
    iniSDL(false);
    ASSERT_NE(Window, nullptr);
    ASSERT_NE(Renderer, nullptr);
    ASSERT_EQ(PadMode, 2);
    ASSERT_FALSE(Keyboard);
    std::srand(20240611u);
    loadScore("Scores.txt");
    SaveScores();
    LoadSounds();
    loadImages("Liste.txt");
    DefBoxes();
    ReleaseRenderContext();
    StartThreads();
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        IniMenu(false);
        // Past the first 500 ticks of the warning, so that input is read
        // at once; the first stick movement opens the main menu.
        FreshStart = 3499;
    }

    const long startKb = reliability::ResidentKb();
    std::printf("[soak] resident memory at start: %ld KiB\n", startKb);

    const unsigned seed = std::random_device{}();
    std::printf("[soak] seed %u, %d s\n", seed, SoakSeconds());
    std::mt19937 rng(seed);
    Counts counts;
    std::set<int> modesSeen;
    int nextSerial = kSticks;
    const auto begin = std::chrono::steady_clock::now();
    const auto deadline = begin + std::chrono::seconds(SoakSeconds());
    // After a third of the run the caches are warm (rendered texts, the
    // sanitizers' quarantines); from there on memory must stay level.
    const auto warmAt = begin + std::chrono::seconds(SoakSeconds()) / 3;
    long warmKb = -1;
    auto nextReplug = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    // Phases: random input everywhere, then steering through the menus into
    // a game, then random aiming and firing in the game, then Start on the
    // first stick, which must bring back the menu.
    enum class Phase { Chaos, Steer, Play, Leave } phase = Phase::Chaos;
    auto phaseEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    bool steerPushed = false;

    // A short run goes on until one game was left, for at most 30 s.
    const auto lastChance = begin + std::chrono::seconds(30);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline && (counts.returns > 0 || now >= lastChance)) {
            break;
        }
        if (warmKb < 0 && now >= warmAt) {
            warmKb = reliability::ResidentKb();
        }
        Screen screen;
        {
            std::lock_guard<std::mutex> lock(StateMutex);
            screen = Screen{Mode, MenuMode, Menu, FreshStart, running};
            modesSeen.insert(Mode);
        }
        if (!screen.running) {
            // A random press chose "Exit": start the threads again from the
            // main menu and play on.
            StopThreads();
            ++counts.restarts;
            StartThreads();
            std::lock_guard<std::mutex> lock(StateMutex);
            IniMenu(false);
            continue;
        }

        if (phase == Phase::Chaos) {
            RandomInput(rng, false, counts);
            if (now >= phaseEnd) {
                phase = Phase::Steer;
                phaseEnd = now + std::chrono::milliseconds(3000);
                CentreAll();
            }
        } else if (phase == Phase::Steer) {
            if (screen.mode == 1) {
                phase = Phase::Play;
                phaseEnd = now + std::chrono::milliseconds(1500);
                ++counts.games;
            } else if (now >= phaseEnd) {
                phase = Phase::Chaos;
                phaseEnd = now + std::chrono::milliseconds(1000);
            } else {
                SteerTowardsGame(screen, steerPushed);
                steerPushed = !steerPushed;
            }
        } else if (screen.mode != 1) {
            // Left (a random Start, Start below, or the game ended).
            ++counts.returns;
            phase = Phase::Chaos;
            phaseEnd = now + std::chrono::milliseconds(1000);
            CentreAll();
        } else if (phase == Phase::Play) {
            RandomInput(rng, true, counts);
            if (now >= phaseEnd) {
                phase = Phase::Leave;
                phaseEnd = now + std::chrono::milliseconds(2000);
                CentreAll();
                SDL_JoystickSetVirtualButton(sticks_[0].handle, kStart, 1);
            }
        } else if (now >= phaseEnd) {
            ++counts.stuck;
            phase = Phase::Chaos;
            phaseEnd = now + std::chrono::milliseconds(1000);
            CentreAll();
        }

        // Now and then a joystick is unplugged and another one plugged in.
        // The game keeps reading its handle of the unplugged one. The first
        // stick, which steers, stays.
        if (now >= nextReplug) {
            nextReplug += std::chrono::milliseconds(700);
            Stick& s = sticks_[1 + rng() % (sticks_.size() - 1)];
            const int index = DeviceIndexOf(s.handle);
            if (index >= 0 && SDL_JoystickIsVirtual(index)) {
                SDL_JoystickDetachVirtual(index);
            }
            SDL_JoystickClose(s.handle);
            s.handle = nullptr;
            const int added = AttachStick(nextSerial++);
            ASSERT_GE(added, 0) << SDL_GetError();
            s.handle = SDL_JoystickOpen(added);
            ASSERT_NE(s.handle, nullptr) << SDL_GetError();
            ++counts.replugs;
        }

        // One turn of the main loop.
        if (screen.freshStart < 3500 || screen.mode != 2) {
            Events();
            ++counts.polls;
        }
        MusicMan();
        SDL_Delay(phase == Phase::Steer ? 12 : 1 + rng() % 16);
    }

    const long endKb = reliability::ResidentKb();
    StopThreads();
    std::printf("[soak] %ld polls, %ld stick moves, %ld button changes, %ld replugs, %ld games "
                "started, %ld left, %ld restarts after Exit\n",
                counts.polls, counts.moves, counts.presses, counts.replugs, counts.games,
                counts.returns, counts.restarts);
    std::string modes;
    for (int m : modesSeen) {
        modes += " " + std::to_string(m);
    }
    std::printf("[soak] screens seen (Mode):%s\n", modes.c_str());
    std::printf("[soak] resident memory at end: %ld KiB (start %ld KiB, after a third %ld KiB)\n",
                endKb, startKb, warmKb);
    std::fflush(stdout);

    EXPECT_GT(counts.games, 0) << "the soak never reached a game";
    EXPECT_GT(counts.returns, 0) << "no game came back to the menu";
    EXPECT_EQ(counts.stuck, 0) << "Start in a game did not bring back the menu";
    for (int m : modesSeen) {
        EXPECT_TRUE(m >= 1 && m <= 5) << m;
    }
    // Every pool and table is fixed in size: once warm, a long session must
    // not keep growing.
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (kQuarantineHoldsMemory || seconds < 10 || warmKb <= 0 || endKb <= 0) {
        std::printf("[soak] memory not checked: it needs a run of at least 10 s "
                    "(VORLUNE_SOAK_SECONDS) without AddressSanitizer\n");
    } else {
        EXPECT_LT(endKb - warmKb, 64 * 1024) << "resident memory kept growing";
    }
}

} // namespace
