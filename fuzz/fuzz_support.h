// Helpers shared by the fuzz targets: reading the fuzzer's bytes as a stream
// without copying them, a scratch working directory, and the media layer set
// up headless with a few media files for the list loaders to name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>

// A read-only stream buffer over bytes owned by someone else. A 100 MB input
// is not copied again, so the memory the fuzzer measures is the reader's own.
class ByteStreamBuf : public std::streambuf {
  public:
    ByteStreamBuf(const uint8_t* data, std::size_t size)
    {
        char* begin = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
        setg(begin, begin, begin + size);
    }
};

class ByteStream : public std::istream {
  public:
    ByteStream(const uint8_t* data, std::size_t size) : std::istream(nullptr), buf_(data, size)
    {
        rdbuf(&buf_);
    }

  private:
    ByteStreamBuf buf_;
};

// Creates a fresh temporary directory and makes it the working directory, so
// the game's fixed file names ("Settings.txt", "Sounds.txt", ...) land there.
// Does the work once per process (later calls do nothing) and removes the
// directory at exit. Corpus paths given to the fuzzer must be absolute.
void EnterScratchDirectory();

// Replaces the file `name` of the working directory with the bytes given.
bool WriteWholeFile(const std::string& name, const uint8_t* data, std::size_t size);

// Starts video and audio with the dummy drivers, opens a window, a software
// renderer (stored in the global Renderer) and the mixer, and writes the media
// files that the list seeds name into the working directory:
//   "a.bmp"  valid bitmap            "b.bmp"  bitmap cut short
//   "p.png"  valid PNG               "q.png"  PNG cut short
//   "w.wav"  valid 16-bit stereo WAV "x.wav"  WAV with a lying header
//   "o.ogg", "f.flac", "s.mp3"  a format's magic and then noise
//   "n"      noise                    "e"      empty file
//   "d"      a directory
// Returns false (after printing why) when the media layer cannot start.
bool StartHeadlessMedia();

// Number of lines ReadLine yields for these bytes: the count every list
// loader must stay consistent with.
int CountLines(const uint8_t* data, std::size_t size);

// True when the bytes hold a path separator. The list targets skip such
// inputs so that every path stays inside the scratch directory: a list naming
// /dev or /proc files would test the machine, not the loader.
bool NamesOtherDirectory(const uint8_t* data, std::size_t size);

// What StageListInput returns for an input that is not staged.
constexpr int ListInputRejected = -1; // the target returns -1 (keep out of the corpus)
constexpr int ListInputSkipped = -2;  // the target returns 0

// The common start of the list targets: starts the headless media layer,
// rejects inputs naming other directories, writes the bytes as the list file
// `listName` and returns how many of its lines fit a table of `slots` entries
// (entry 0 never filled), or one of the two values above.
int StageListInput(const char* listName, const uint8_t* data, std::size_t size, int slots);

// Aborts the run with a message naming the list and the broken property.
void CheckListProperty(bool ok, const char* listName, const char* what);

// Fails the run when a reader holds much more memory than a few lines while
// it works through one large input. Inputs up to 1 MiB are not measured (the
// fuzzer's own inputs stay below that); larger ones, such as a 100 MB line or
// a million lines, may raise the peak resident memory by at most 32 MiB over
// what it was when the callback started.
class ReaderMemoryCheck {
  public:
    explicit ReaderMemoryCheck(std::size_t inputSize);
    ~ReaderMemoryCheck();

  private:
    bool active_ = false;
    long startKb_ = 0;
    std::size_t inputSize_ = 0;
};
