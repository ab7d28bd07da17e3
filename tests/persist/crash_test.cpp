// Kills a process that keeps rewriting Scores.txt at random moments and
// checks that the file is never left half written.
#include <gtest/gtest.h>

#ifndef _WIN32

#include "persist/scores.h"
#include "persist/tools/score_states.h"
#include "support/persist_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <poll.h>
#include <random>
#include <regex>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

int KillRounds()
{
    const char* text = std::getenv("VORLUNE_KILL_ROUNDS");
    if (text != nullptr && std::atoi(text) > 0) {
        return std::atoi(text);
    }
    return 200;
}

// Waits up to `ms` for the writer's ready line; true when it came.
bool WaitReady(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) {
        return false;
    }
    char c = 0;
    return read(fd, &c, 1) == 1;
}

class ScoreCrashTest : public PersistDirTest {};

} // namespace

TEST_F(ScoreCrashTest, KilledWriterLeavesOneCompleteVersion)
{
#ifndef VORLUNE_SCORE_WRITER
    GTEST_SKIP() << "score writer not built";
#else
    // The two versions the writer alternates between, as this build writes them.
    FillScoreState(0);
    SaveScores();
    const std::string versionA = ReadFileBytes("Scores.txt");
    FillScoreState(1);
    SaveScores();
    const std::string versionB = ReadFileBytes("Scores.txt");
    std::filesystem::remove("Scores.txt");
    ASSERT_EQ(versionA.size() > 0, true);
    ASSERT_NE(versionA, versionB);

    const std::filesystem::path arena = dir_ / "arena";
    std::filesystem::create_directory(arena);
    const std::filesystem::path scores = arena / "Scores.txt";
    const std::string writer = VORLUNE_SCORE_WRITER;
    const std::string arenaText = arena.string();

    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    const int rounds = KillRounds();
    bool completedOnce = false;
    int seenA = 0, seenB = 0, absent = 0;
    for (int round = 0; round < rounds; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        char* argv[] = {const_cast<char*>(writer.c_str()), const_cast<char*>(arenaText.c_str()),
                        nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, writer.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            FAIL() << "cannot start " << writer;
        }

        // Mostly kill while the writer loops; now and then during its start
        // and its first write.
        if (round % 8 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        } else {
            if (!WaitReady(fds[0], 30000)) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                close(fds[0]);
                FAIL() << "writer did not get ready";
            }
            completedOnce = true;
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
        }
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;

        if (std::filesystem::exists(scores)) {
            completedOnce = true;
            const std::string now = ReadFileBytes(scores);
            if (now == versionA) {
                ++seenA;
            } else if (now == versionB) {
                ++seenB;
            } else {
                FAIL() << "round " << round << ": Scores.txt is neither version (" << now.size()
                       << " bytes)";
            }
        } else {
            ++absent;
            ASSERT_FALSE(completedOnce) << "round " << round << ": Scores.txt vanished";
        }

        // The killed writer may leave its own temporary; the next writer
        // removes it.
        int others = 0;
        for (const auto& entry : std::filesystem::directory_iterator(arena)) {
            const std::string name = entry.path().filename().string();
            if (name != "Scores.txt") {
                ++others;
                EXPECT_TRUE(
                    std::regex_match(name, std::regex(R"(Scores\.txt\.[0-9]+\.[0-9]+\.tmp)")))
                    << name;
            }
        }
        ASSERT_LE(others, 1) << "round " << round << ": temporary files pile up";
    }
    EXPECT_TRUE(completedOnce);
    std::cout << rounds << " kills: " << seenA << " x first version, " << seenB
              << " x second version, " << absent << " x no file yet\n";
#endif
}

#endif
