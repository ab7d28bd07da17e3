#include "input/keyboard.h"

#include "world/globals.h"

const int KeyScancodes[12] = {0, 26, 22, 4, 7, 225, 82, 81, 80, 79, 228, 40};
bool KeyboardHeld[12] = {};

void CaptureKeyboardState() {}
void CheckKeyboard() {}
