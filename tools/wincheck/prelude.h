/*
 * Forced first include of the Windows check (scripts/windows-check.sh).
 *
 * It brings in the C++ standard library and the SDL headers, and then poisons
 * POSIX functions that MinGW-w64 declares but MSVC lacks, so that a source
 * file using one fails the check as it would fail an MSVC build. The POSIX-only
 * headers themselves are caught by the #error stubs in posix/.
 */
#ifndef VORLUNE_WINCHECK_PRELUDE_H
#define VORLUNE_WINCHECK_PRELUDE_H

#include <algorithm>
#include <any>
#include <array>
#include <atomic>
#include <bitset>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <clocale>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <csignal>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <deque>
#include <exception>
#include <filesystem>
#include <forward_list>
#include <fstream>
#include <functional>
#include <future>
#include <iomanip>
#include <ios>
#include <iostream>
#include <istream>
#include <iterator>
#include <limits>
#include <list>
#include <locale>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <optional>
#include <ostream>
#include <queue>
#include <random>
#include <ratio>
#include <regex>
#include <set>
#include <shared_mutex>
#include <sstream>
#include <stack>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <valarray>
#include <variant>
#include <vector>

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

/* Windows' own headers that declare some of the names poisoned below. */
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#pragma GCC poison localtime_r gmtime_r asctime_r ctime_r strtok_r setenv unsetenv usleep nanosleep
/* MinGW-w64 maps these two to _stricmp and _strnicmp; MSVC has neither name. */
#undef strcasecmp
#undef strncasecmp
#pragma GCC poison clock_gettime clock_nanosleep gettimeofday strcasecmp strncasecmp realpath mkstemp
#pragma GCC poison fork vfork execv execvp waitpid pipe dup2 getuid geteuid getpwuid readlink symlink
#pragma GCC poison opendir readdir closedir mmap munmap sigaction strndup asprintf vasprintf

#endif
