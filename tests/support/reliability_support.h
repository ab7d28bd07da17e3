// Helpers of the reliability tests: memory readings of this process and a
// working directory that copies the build's run directory.
#pragma once

#include <string>

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

} // namespace reliability
