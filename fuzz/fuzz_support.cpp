#include "fuzz_support.h"

#include "persist/textfile.h"
#include "world/globals.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace {

std::string ScratchDirectory;

void RemoveScratchDirectory()
{
    if (!ScratchDirectory.empty()) {
        // Links inside are removed, never followed.
        std::error_code ec;
        std::filesystem::current_path(std::filesystem::temp_directory_path(ec), ec);
        std::filesystem::remove_all(ScratchDirectory, ec);
    }
}

} // namespace

void EnterScratchDirectory()
{
    static bool entered = false;
    if (entered) {
        return;
    }
    entered = true;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec); // TMPDIR, else /tmp
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && ScratchDirectory.empty() && !ec; ++attempt) {
        const fs::path dir = base / ("vorlune-fuzz-" + std::to_string(random()));
        if (fs::create_directory(dir, ec)) {
            fs::current_path(dir, ec);
            ScratchDirectory = dir.string();
        }
    }
    if (ScratchDirectory.empty() || ec) {
        std::fprintf(stderr, "vorlune fuzz: cannot make a scratch directory: %s\n",
                     ec.message().c_str());
        std::abort();
    }
    std::atexit(RemoveScratchDirectory);
}

bool WriteWholeFile(const std::string& name, const uint8_t* data, std::size_t size)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

namespace {

void WriteText(const std::string& name, const std::string& bytes)
{
    WriteWholeFile(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string ReadText(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Noise(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

void PutLE(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

std::string Wav(uint32_t frames, uint32_t claimedDataSize)
{
    std::string s = "RIFF";
    PutLE(s, 36 + frames * 4, 4);
    s += "WAVEfmt ";
    PutLE(s, 16, 4);
    PutLE(s, 1, 2);         // PCM
    PutLE(s, 2, 2);         // stereo
    PutLE(s, 44100, 4);     // rate
    PutLE(s, 44100 * 4, 4); // byte rate
    PutLE(s, 4, 2);         // block align
    PutLE(s, 16, 2);        // bits
    s += "data";
    PutLE(s, claimedDataSize, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t v = (i * 331u) & 0xffffu;
        PutLE(s, v, 2);
        PutLE(s, v, 2);
    }
    return s;
}

void WriteMediaFiles()
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_RGBA32);
    if (surface != nullptr) {
        SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 200, 10, 10, 255));
        SDL_SaveBMP(surface, "a.bmp");
        IMG_SavePNG(surface, "p.png");
        SDL_FreeSurface(surface);
    }
    const std::string bmp = ReadText("a.bmp");
    WriteText("b.bmp", bmp.substr(0, bmp.size() / 2));
    const std::string png = ReadText("p.png");
    WriteText("q.png", png.substr(0, png.size() / 2));
    WriteText("w.wav", Wav(512, 512 * 4));
    // A data chunk that claims 64 KiB but holds 64 bytes. (A claim of
    // gigabytes makes the media layer try to allocate all of it, which says
    // nothing about the game and trips the fuzzer's memory limit.)
    WriteText("x.wav", Wav(16, 65536));
    WriteText("o.ogg", "OggS" + Noise(300, 1));
    WriteText("f.flac", "fLaC" + Noise(300, 3));
    WriteText("s.mp3", "ID3" + Noise(300, 4));
    WriteText("n", Noise(1000, 5));
    WriteText("e", "");
    std::error_code ec;
    std::filesystem::create_directory("d", ec);
}

} // namespace

bool StartHeadlessMedia()
{
    static bool started = false;
    static bool ok = false;
    if (started) {
        return ok;
    }
    started = true;
    EnterScratchDirectory();
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) {
        std::printf("vorlune fuzz: SDL_Init failed: %s\n", SDL_GetError());
        return false;
    }
    Window = SDL_CreateWindow("fuzz", 0, 0, 64, 64, 0);
    if (Window != nullptr) {
        Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (Renderer == nullptr) {
        std::printf("vorlune fuzz: no software renderer: %s\n", SDL_GetError());
        return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0) {
        std::printf("vorlune fuzz: mixer did not open: %s\n", Mix_GetError());
        return false;
    }
    WriteMediaFiles();
    ok = true;
    return ok;
}

int CountLines(const uint8_t* data, std::size_t size)
{
    ByteStream in(data, size);
    std::string line;
    int n = 0;
    while (ReadLine(in, line)) {
        ++n;
    }
    return n;
}

bool NamesOtherDirectory(const uint8_t* data, std::size_t size)
{
    return size > 0 &&
           (std::memchr(data, '/', size) != nullptr || std::memchr(data, '\\', size) != nullptr);
}

namespace {

// One field of /proc/self/status in KiB, or -1.
long StatusKb(const char* field)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char row[256];
    long kb = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(row, sizeof row, f) != nullptr) {
        if (std::strncmp(row, field, n) == 0 && row[n] == ':') {
            kb = std::strtol(row + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

} // namespace

ReaderMemoryCheck::ReaderMemoryCheck(std::size_t inputSize) : inputSize_(inputSize)
{
    if (inputSize <= (1u << 20)) {
        return;
    }
    // Writing 5 to clear_refs starts a new peak from the current resident set.
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) {
        return;
    }
    const bool reset = std::fputs("5", f) >= 0;
    std::fclose(f);
    startKb_ = StatusKb("VmRSS");
    active_ = reset && startKb_ > 0;
}

ReaderMemoryCheck::~ReaderMemoryCheck()
{
    if (!active_) {
        return;
    }
    const long peakKb = StatusKb("VmHWM");
    const long grownKb = peakKb - startKb_;
    std::fprintf(stderr, "reader memory: input %zu bytes, peak grew by %ld KiB\n", inputSize_,
                 grownKb);
    if (grownKb > 32 * 1024) {
        std::fprintf(stderr, "reader memory not bounded: %ld KiB more for one input\n", grownKb);
        std::abort();
    }
}

int StageListInput(const char* listName, const uint8_t* data, std::size_t size, int slots)
{
    if (!StartHeadlessMedia()) {
        std::abort();
    }
    if (NamesOtherDirectory(data, size)) {
        return ListInputRejected;
    }
    if (!WriteWholeFile(listName, data, size)) {
        return ListInputSkipped;
    }
    const int lines = CountLines(data, size);
    return lines < slots - 1 ? lines : slots - 1;
}

void CheckListProperty(bool ok, const char* listName, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "%s property broken: %s\n", listName, what);
        std::abort();
    }
}
