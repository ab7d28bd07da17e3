// Linked into every test executable: before any test runs, point SDL at its
// dummy video and audio drivers and tell the tests where the build keeps the
// generated media, unless the caller's environment already says so. This way
// the suites behave the same under ctest and when a binary is run by hand.
#include <cstdlib>

namespace {

void SetDefault(const char* name, const char* value)
{
    if (std::getenv(name) == nullptr) {
#ifdef _WIN32
        _putenv_s(name, value);
#else
        setenv(name, value, 0);
#endif
    }
}

struct TestEnvironmentDefaults {
    TestEnvironmentDefaults()
    {
        SetDefault("SDL_VIDEODRIVER", "dummy");
        SetDefault("SDL_AUDIODRIVER", "dummy");
        SetDefault("VORLUNE_RUN_DIR", VORLUNE_TEST_RUN_DIR);
        SetDefault("VORLUNE_SOURCE_DIR", VORLUNE_TEST_SOURCE_DIR);
    }
};

const TestEnvironmentDefaults defaults;

} // namespace
