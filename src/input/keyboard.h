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

// Called when a screen is set up: drops the select, erase and confirm
// requests made on the previous screen and latches every key still held, so
// that a key held into a new screen (a fire key when a game ends, Shift that
// skipped the title) acts there only after it has been released and pressed
// again, as a pad button already does.
void ForgetScreenInput();
