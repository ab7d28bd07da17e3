/*
 * Windows stand-in for the platform configuration header of SDL.
 *
 * Debian's SDL_config.h only includes <SDL2/_real_SDL_config.h>, which
 * describes Linux. scripts/windows-check.sh puts this folder on the include
 * path of the MinGW-w64 cross compiler, so that Debian's SDL headers can be
 * used to compile the game's sources for Windows. No build uses it: real
 * Windows builds take SDL's own headers (vcpkg or MSYS2).
 *
 * It states what a Windows C library offers; nothing more is needed by the
 * public SDL headers.
 */
#ifndef VORLUNE_WINCHECK_SDL_CONFIG_H
#define VORLUNE_WINCHECK_SDL_CONFIG_H

#include "SDL_platform.h"

#ifndef __WIN32__
#error "This SDL configuration is for the Windows check (scripts/windows-check.sh) only"
#endif

#ifdef _WIN64
#define SIZEOF_VOIDP 8
#else
#define SIZEOF_VOIDP 4
#endif

/* The C library headers that both MSVC and MinGW-w64 provide. */
#define HAVE_LIBC 1
#define STDC_HEADERS 1
#define HAVE_CTYPE_H 1
#define HAVE_FLOAT_H 1
#define HAVE_LIMITS_H 1
#define HAVE_MATH_H 1
#define HAVE_SIGNAL_H 1
#define HAVE_STDARG_H 1
#define HAVE_STDDEF_H 1
#define HAVE_STDINT_H 1
#define HAVE_STDIO_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_WCHAR_H 1

/* Video, audio, input and thread back ends of a Windows SDL build. */
#define SDL_AUDIO_DRIVER_WASAPI 1
#define SDL_AUDIO_DRIVER_DSOUND 1
#define SDL_JOYSTICK_DINPUT 1
#define SDL_JOYSTICK_XINPUT 1
#define SDL_HAPTIC_DINPUT 1
#define SDL_THREAD_WINDOWS 1
#define SDL_TIMER_WINDOWS 1
#define SDL_VIDEO_DRIVER_WINDOWS 1
#define SDL_VIDEO_RENDER_D3D 1
#define SDL_VIDEO_RENDER_OGL 1
#define SDL_VIDEO_OPENGL 1
#define SDL_VIDEO_OPENGL_WGL 1
#define SDL_LOADSO_WINDOWS 1
#define SDL_FILESYSTEM_WINDOWS 1

#endif /* VORLUNE_WINCHECK_SDL_CONFIG_H */
