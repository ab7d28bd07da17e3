#include "screens_support.h"

#include "input/keyboard.h"
#include "screens/menu.h"
#include "world/logic.h"

#include <cstdlib>
#include <fstream>

void ScreensTest::SetUp()
{
    std::lock_guard<std::mutex> lock(StateMutex);
    ResetGlobals();
    for (bool& held : KeyboardHeld) {
        held = false;
    }
    EndGameHoldMs = 0;
    std::srand(7);
}

void ScreensTest::TearDown()
{
    std::lock_guard<std::mutex> lock(StateMutex);
    for (bool& held : KeyboardHeld) {
        held = false;
    }
    EndGameHoldMs = 5000;
    ResetGlobals();
}

ScreensMixer::ScreensMixer()
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return;
    }
    if (Mix_OpenAudio(22050, AUDIO_S16SYS, 2, 512) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    opened_ = true;
    samples_.assign(22050 * 4, 0);
    chunk_ = Mix_QuickLoad_RAW(samples_.data(), static_cast<Uint32>(samples_.size()));
    saved_[1] = Sounds[1];
    saved_[2] = Sounds[2];
    Sounds[1] = chunk_;
    Sounds[2] = chunk_;
}

ScreensMixer::~ScreensMixer()
{
    if (!opened_) {
        return;
    }
    Mix_HaltChannel(-1);
    Sounds[1] = saved_[1];
    Sounds[2] = saved_[2];
    Mix_FreeChunk(chunk_);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Passes(int n)
{
    for (int i = 0; i < n; ++i) {
        LogicPass();
    }
}

void TapKey(int key)
{
    KeyboardHeld[key] = true;
    LogicPass();
    KeyboardHeld[key] = false;
    LogicPass();
}

void OpenMainMenu()
{
    FreshStart = 0;
    IniMenu(false);
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

const TextBox& BoxOf(int slot)
{
    return Boxes[Stack.Slots[slot].Box];
}
