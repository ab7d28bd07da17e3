// Line-based text files: bounded reading and crash-safe writing.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>

// Longest line kept; the rest of a longer line is read and dropped, so a
// hostile file cannot make a reader hold more than this per line.
constexpr std::size_t MaxLineLength = 65536;

// Reads one line (without its line feed, and without one trailing carriage
// return). Returns false at end of input when nothing was read.
bool ReadLine(std::istream& in, std::string& line);

// Calls `f(n, line)` for lines n = 1 .. maxLines of the file and stops there.
// A file that cannot be opened calls nothing. Returns the number of lines
// passed to `f`.
int ForEachListLine(const char* path, int maxLines,
                    const std::function<void(int, const std::string&)>& f);

// The value of a number line: leading white space skipped, an optional sign
// and the digits that follow; anything else ends the number, and a line
// without a leading number gives 0. Values beyond the int32 range saturate.
int32_t ParseNumber(const std::string& text);

// Writes `content` to a temporary file beside `path`, waits until its data are
// on the disk and moves it over `path`, then syncs the folder (Windows: the
// move is written through), so a crash of the program or of the machine leaves
// either the old or the new file whole. A file that cannot be opened for
// writing (read-only, not a plain file) is left alone. A symbolic link is
// followed: the file it names is replaced and the link stays. The new file
// keeps the old one's permission bits (and its owner where allowed).
// Temporaries carry the process number and a count, so two writers never share
// one; those of writers that died are removed. Returns false (and leaves the
// old file and no temporary) when anything fails, the sync of the data
// included. When only the sync of the folder after the move fails, the new file
// is in place but false is returned: it may not survive a power cut.
bool WriteFileAtomically(const std::string& path, const std::string& content);
