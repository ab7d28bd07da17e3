// Rewrites Scores.txt in the directory given as argument, alternating between
// two complete high-score states, until it is killed (or a minute has
// passed, so a forgotten writer does not run forever). After the first
// complete write it prints one line to standard output.
#include "persist/scores.h"
#include "score_states.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "cannot enter %s: %s\n", argv[1], ec.message().c_str());
        return 2;
    }
    FillScoreState(0);
    SaveScores();
    std::printf("ready\n");
    std::fflush(stdout);
    const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int which = 1;
    while (std::chrono::steady_clock::now() < stop) {
        FillScoreState(which);
        SaveScores();
        which = 1 - which;
    }
    return 0;
}
