// Rewrites Scores.txt in the directory given as argument, alternating between
// two complete high-score states, until it is killed (or a minute has
// passed, so a forgotten writer does not run forever). After the first
// complete write it prints one line to standard output. With a count as
// second argument it stops after that many writes (the system-call trace of
// a score write uses it).
#include "persist/scores.h"
#include "score_states.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv)
{
    const long writes = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    if (argc < 2 || argc > 3 || (argc == 3 && writes < 1)) {
        std::fprintf(stderr, "usage: %s <directory> [writes]\n", argv[0]);
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
    for (long done = 1; (writes == 0 || done < writes) && std::chrono::steady_clock::now() < stop;
         ++done) {
        FillScoreState(which);
        SaveScores();
        which = 1 - which;
    }
    return 0;
}
