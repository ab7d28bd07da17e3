// Helpers for the tests of the settings and score files.
#pragma once

#include "world/globals.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <cstdio>
#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `f` in a child process as an ordinary user, since root passes every
// permission check: as the user and group 65534 (nobody) when run as root,
// as the user itself otherwise. Returns f's result (0 to 99), or -1 when the
// child could not be started or could not give up its rights.
inline int AsUnprivileged(const std::function<int()>& f)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 ||
                               setuid(65534) != 0 || geteuid() == 0)) {
            _exit(100);
        }
        _exit(f());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) >= 100) {
        return -1;
    }
    return WEXITSTATUS(status);
}
#endif

// Whole file as bytes; empty when the file is missing.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The bytes the game's files hold for TEXT, written with line feeds: they
// are written in the platform's text mode, which ends lines with CR LF on
// Windows.
inline std::string AsWritten(const std::string& text)
{
#ifdef _WIN32
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
#else
    return text;
#endif
}

// Writes bytes exactly as given (no line-end translation).
inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs each test in a fresh, empty working directory with every global back
// at its start value; the directory is removed afterwards.
class PersistDirTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ResetGlobals();
        previous_ = std::filesystem::current_path();
        std::mt19937_64 gen(
            std::random_device{}() ^
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            dir_ = base / ("vorlune_persist_" + std::to_string(gen()));
            if (std::filesystem::create_directory(dir_)) {
                break;
            }
        }
        std::filesystem::current_path(dir_);
    }

    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(dir_, ec);
        ResetGlobals();
    }

    // Number of entries in the working directory.
    int DirEntries() const
    {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            (void)entry;
            ++n;
        }
        return n;
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
};
