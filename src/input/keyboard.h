// Keyboard fallback: eleven keys copied into the key flags of Players[1].
#pragma once

// Scancodes of the keys, index 1 to 11: W, S, A, D, left Shift, Up, Down,
// Left, Right, right Ctrl, Return.
extern const int KeyScancodes[12];

// Held state of the eleven keys as of the main thread's last event drain.
// Written by CaptureKeyboardState (main thread), read by CheckKeyboard
// (logic thread), both under StateMutex. Tests write it directly.
extern bool KeyboardHeld[12];

// Main thread, after draining the queue: copies SDL's key array for the
// eleven keys into KeyboardHeld.
void CaptureKeyboardState();

void CheckKeyboard();
