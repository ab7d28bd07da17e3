#include "platform/dpi.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef interface

#include <cstdint>

namespace {

// A function of a system DLL, or null where this Windows lacks it. The cast
// goes through void (*)(), which converts to any function type without a
// warning.
template <typename Fn> Fn Lookup(HMODULE module, const char* name)
{
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, without needing headers that
// know it.
HANDLE PerMonitorV2Context()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
}

// DPI_AWARENESS (Windows 10 1607) and PROCESS_DPI_AWARENESS (8.1) number the
// levels alike.
DpiAwareness FromLevel(int level)
{
    switch (level) {
    case 0:
        return DpiAwareness::Unaware;
    case 1:
        return DpiAwareness::System;
    case 2:
        return DpiAwareness::PerMonitor;
    default:
        return DpiAwareness::Unanswered;
    }
}

// Windows 10 1607 and later: the awareness context, of the process (1803)
// or else of this thread, which has the process's unless the thread
// changed it.
DpiAwareness FromContext(HMODULE user32)
{
    using ProcessContextFn = HANDLE(WINAPI*)(HANDLE);
    using ThreadContextFn = HANDLE(WINAPI*)();
    using EqualFn = BOOL(WINAPI*)(HANDLE, HANDLE);
    using LevelFn = int(WINAPI*)(HANDLE);
    const auto processContext =
        Lookup<ProcessContextFn>(user32, "GetDpiAwarenessContextForProcess");
    const auto threadContext = Lookup<ThreadContextFn>(user32, "GetThreadDpiAwarenessContext");
    const auto equal = Lookup<EqualFn>(user32, "AreDpiAwarenessContextsEqual");
    const auto level = Lookup<LevelFn>(user32, "GetAwarenessFromDpiAwarenessContext");
    if ((processContext == nullptr && threadContext == nullptr) || equal == nullptr ||
        level == nullptr) {
        return DpiAwareness::Unanswered;
    }
    HANDLE context =
        processContext != nullptr ? processContext(GetCurrentProcess()) : threadContext();
    if (context == nullptr) {
        return DpiAwareness::Unanswered;
    }
    return equal(context, PerMonitorV2Context()) ? DpiAwareness::PerMonitorV2
                                                 : FromLevel(level(context));
}

// Windows 8.1 and later.
DpiAwareness FromShcore()
{
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (shcore == nullptr) {
        return DpiAwareness::Unanswered;
    }
    using ProcessLevelFn = HRESULT(WINAPI*)(HANDLE, int*);
    const auto processLevel = Lookup<ProcessLevelFn>(shcore, "GetProcessDpiAwareness");
    int value = -1;
    const bool answered = processLevel != nullptr && SUCCEEDED(processLevel(nullptr, &value));
    FreeLibrary(shcore);
    return answered ? FromLevel(value) : DpiAwareness::Unanswered;
}

// Vista and later: aware or not.
DpiAwareness FromVista(HMODULE user32)
{
    using AwareFn = BOOL(WINAPI*)();
    const auto aware = Lookup<AwareFn>(user32, "IsProcessDPIAware");
    if (aware == nullptr) {
        return DpiAwareness::Unanswered;
    }
    return aware() ? DpiAwareness::System : DpiAwareness::Unaware;
}

} // namespace

DpiAwareness ProcessDpiAwareness()
{
    // Loaded, not just looked for: a program that calls nothing of user32
    // itself may not have it yet.
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    DpiAwareness awareness = FromContext(user32);
    if (awareness == DpiAwareness::Unanswered) {
        awareness = FromShcore();
    }
    if (awareness == DpiAwareness::Unanswered) {
        awareness = FromVista(user32);
    }
    if (user32 != nullptr) {
        FreeLibrary(user32);
    }
    return awareness;
}

#else

DpiAwareness ProcessDpiAwareness()
{
    return DpiAwareness::NotWindows;
}

#endif

const char* DpiAwarenessName(DpiAwareness awareness)
{
    switch (awareness) {
    case DpiAwareness::NotWindows:
        return "not Windows";
    case DpiAwareness::Unanswered:
        return "not answered";
    case DpiAwareness::Unaware:
        return "unaware";
    case DpiAwareness::System:
        return "system";
    case DpiAwareness::PerMonitor:
        return "per-monitor";
    case DpiAwareness::PerMonitorV2:
        return "per-monitor v2";
    }
    return "unknown";
}
