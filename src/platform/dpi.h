// How Windows treats the game on a display with a scale factor (125 %, 150 %
// and so on), as the program's manifest declares it.
#pragma once

enum class DpiAwareness {
    NotWindows,   // another system: nothing scales the window behind SDL's back
    Unanswered,   // Windows, but none of its calls that tell answered
    Unaware,      // Windows stretches the window: the picture is blurred
    System,       // sharp only on displays at the main display's scale
    PerMonitor,   // sharp on every display
    PerMonitorV2, // the same, with the frame and dialogs scaled too
};

// The awareness of the running process. Asks Windows only through calls
// looked up at run time, so that the program still starts on systems
// without them.
DpiAwareness ProcessDpiAwareness();

// Its name for messages: "per-monitor v2", "not Windows", ...
const char* DpiAwarenessName(DpiAwareness awareness);
