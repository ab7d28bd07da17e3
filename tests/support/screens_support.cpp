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
