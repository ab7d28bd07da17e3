// Kills a process that keeps rewriting Scores.txt at random moments and
// checks that the file is never left half written.
#include "persist/scores.h"
#include "persist/tools/score_states.h"
#include "support/persist_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <regex>
#include <string>
#include <thread>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOGDI // its ABC would clash with the game's
#include <windows.h>
#undef interface
#else
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

int KillRounds()
{
    const char* text = std::getenv("VORLUNE_KILL_ROUNDS");
    if (text != nullptr && std::atoi(text) > 0) {
        return std::atoi(text);
    }
    return 200;
}

// The score writer as a child process; it prints a line once its first
// complete write is done.
class Writer {
  public:
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    Writer() = default;
    ~Writer() { Kill(); }

#ifdef _WIN32
    bool Start(const std::string& program, const std::string& dir)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE write = nullptr;
        if (!CreatePipe(&read_, &write, &inherit, 0)) {
            return false;
        }
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string command = "\"" + program + "\" \"" + dir + "\"";
        PROCESS_INFORMATION info{};
        const bool started = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                                            0, nullptr, nullptr, &startup, &info) != 0;
        CloseHandle(write);
        if (!started) {
            return false;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        return true;
    }

    // Waits up to `ms` for the ready line; true when it came.
    bool WaitReady(int ms)
    {
        for (int waited = 0; waited <= ms; ++waited) {
            DWORD available = 0;
            if (!PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr)) {
                return false; // the writer has gone
            }
            if (available > 0) {
                char c = 0;
                DWORD got = 0;
                return ReadFile(read_, &c, 1, &got, nullptr) && got == 1;
            }
            Sleep(1);
        }
        return false;
    }

    // Kills the writer; true when it was still running until then.
    bool Kill()
    {
        bool killed = false;
        if (process_ != nullptr) {
            killed = TerminateProcess(process_, 137) != 0;
            WaitForSingleObject(process_, INFINITE);
            DWORD code = 0;
            killed = killed && GetExitCodeProcess(process_, &code) && code == 137;
            CloseHandle(process_);
            process_ = nullptr;
        }
        if (read_ != nullptr) {
            CloseHandle(read_);
            read_ = nullptr;
        }
        return killed;
    }

  private:
    HANDLE process_ = nullptr;
    HANDLE read_ = nullptr;
#else
    bool Start(const std::string& program, const std::string& dir)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(dir.c_str()),
                        nullptr};
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        read_ = fds[0];
        if (spawned != 0) {
            pid_ = 0;
            return false;
        }
        return true;
    }

    // Waits up to `ms` for the ready line; true when it came.
    bool WaitReady(int ms)
    {
        pollfd p{read_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) {
            return false;
        }
        char c = 0;
        return read(read_, &c, 1) == 1;
    }

    // Kills the writer; true when it was still running until then.
    bool Kill()
    {
        bool killed = false;
        if (pid_ != 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            killed = WIFSIGNALED(status);
            pid_ = 0;
        }
        if (read_ >= 0) {
            close(read_);
            read_ = -1;
        }
        return killed;
    }

  private:
    pid_t pid_ = 0;
    int read_ = -1;
#endif
};

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
        Writer w;
        ASSERT_TRUE(w.Start(writer, arenaText)) << "cannot start " << writer;

        // Mostly kill while the writer loops; now and then during its start
        // and its first write.
        if (round % 8 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        } else {
            ASSERT_TRUE(w.WaitReady(30000)) << "writer did not get ready";
            completedOnce = true;
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
        }
        ASSERT_TRUE(w.Kill()) << "writer ended by itself";

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
