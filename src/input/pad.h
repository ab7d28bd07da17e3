#pragma once

// Reads the game controller or every open joystick for aiming, firing and
// menu navigation. The caller holds StateMutex.
void PadControls();
