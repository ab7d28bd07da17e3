// Helpers of the reliability tests: memory readings of this process and a
// working directory that copies the build's run directory.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace reliability {

// Resident memory of this process in KiB (VmRSS), or -1 where it cannot be
// read.
long ResidentKb();

// Restarts the peak resident memory at the current resident set, so that a
// later PeakGrowthKb() tells how much one piece of work added at its worst.
// Returns false where the system does not offer it.
bool StartPeakWindow();
// VmHWM minus the resident memory when StartPeakWindow was called, in KiB.
long PeakGrowthKb();

// Copies the lists, media and font of $VORLUNE_RUN_DIR into the current
// working directory (the program itself is left out). Returns false when the
// run directory holds no font.
bool CopyRunDirectoryHere();

// An input made on the fly from pieces, each a text repeated a number of
// times: a 100 MB line or a million lines without holding them anywhere.
class PatternInput : public std::streambuf {
  public:
    explicit PatternInput(std::vector<std::pair<std::string, uint64_t>> pieces);
    // Bytes handed out so far.
    uint64_t Produced() const { return produced_; }

  protected:
    int_type underflow() override;

  private:
    std::vector<std::pair<std::string, uint64_t>> pieces_;
    std::vector<char> chunk_;
    std::size_t piece_ = 0;
    uint64_t repeat_ = 0;
    std::size_t offset_ = 0;
    uint64_t produced_ = 0;
};

// Writes the pieces to a file, as PatternInput would produce them.
bool WritePatternFile(const std::string& path,
                      const std::vector<std::pair<std::string, uint64_t>>& pieces);

} // namespace reliability
