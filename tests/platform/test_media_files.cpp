// Checks the media that the build generates into the run directory: the
// list files, the pictures of the fixed texture slots, the looping effects
// and the music tracks, all loaded through the same libraries as the game.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::filesystem::path RunDir()
{
    const char* dir = std::getenv("VORLUNE_RUN_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path(".");
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Lines of a list file, split at '\n' only (a '\r' would stay visible).
std::vector<std::string> ListLines(const char* name)
{
    const std::string text = ReadAll(RunDir() / name);
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// An image loaded with IMG_Load and converted to RGBA bytes.
struct Picture {
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    SDL_Color At(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
    }
};

bool LoadPicture(const std::string& relative, Picture& out)
{
    const std::string path = (RunDir() / relative).string();
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (!loaded) {
        ADD_FAILURE() << "IMG_Load(" << path << "): " << IMG_GetError();
        return false;
    }
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ABGR8888, 0);
    SDL_FreeSurface(loaded);
    if (!rgba) {
        ADD_FAILURE() << "conversion of " << path << " failed: " << SDL_GetError();
        return false;
    }
    out.w = rgba->w;
    out.h = rgba->h;
    out.rgba.resize(static_cast<std::size_t>(out.w) * out.h * 4);
    for (int y = 0; y < out.h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rgba->pixels) + y * rgba->pitch;
        std::copy(row, row + out.w * 4,
                  out.rgba.begin() + static_cast<std::ptrdiff_t>(y) * out.w * 4);
    }
    SDL_FreeSurface(rgba);
    return true;
}

// The parts of a PCM WAV file the checks need.
struct Wav {
    int rate = 0, channels = 0, bits = 0;
    std::vector<std::int16_t> samples; // interleaved
    double Seconds() const
    {
        return channels && rate ? static_cast<double>(samples.size()) / channels / rate : 0.0;
    }
};

std::uint32_t Le(const std::string& s, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

bool ParseWav(const std::string& relative, Wav& out)
{
    const std::string s = ReadAll(RunDir() / relative);
    if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0)
        return false;
    std::size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= s.size()) {
        const std::string id = s.substr(pos, 4);
        const std::size_t size = Le(s, pos + 4, 4);
        const std::size_t body = pos + 8;
        if (body + size > s.size())
            return false;
        if (id == "fmt " && size >= 16) {
            if (Le(s, body, 2) != 1)
                return false; // not plain PCM
            out.channels = static_cast<int>(Le(s, body + 2, 2));
            out.rate = static_cast<int>(Le(s, body + 4, 4));
            out.bits = static_cast<int>(Le(s, body + 14, 2));
            haveFormat = true;
        } else if (id == "data" && haveFormat && out.bits == 16) {
            out.samples.resize(size / 2);
            for (std::size_t i = 0; i < out.samples.size(); ++i)
                out.samples[i] = static_cast<std::int16_t>(Le(s, body + 2 * i, 2));
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

class MediaFiles : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
        ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048), 0) << Mix_GetError();
    }
    void TearDown() override
    {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
};

TEST_F(MediaFiles, ListsNameExistingRelativeFilesOnePerLine)
{
    const struct {
        const char* list;
        std::size_t minLines, maxLines;
    } lists[] = {{"Liste.txt", 5, 99}, {"Sounds.txt", 2, 149}, {"Music.txt", 2, 19}};
    for (const auto& l : lists) {
        const std::string text = ReadAll(RunDir() / l.list);
        ASSERT_FALSE(text.empty()) << l.list;
        EXPECT_EQ(text.back(), '\n') << l.list << " must end its last line";
        EXPECT_EQ(text.find('\r'), std::string::npos) << l.list << " must use '\\n' line ends";
        const auto lines = ListLines(l.list);
        EXPECT_GE(lines.size(), l.minLines) << l.list;
        EXPECT_LE(lines.size(), l.maxLines) << l.list;
        for (const std::string& line : lines) {
            EXPECT_FALSE(line.empty()) << l.list << " has a blank line";
            EXPECT_FALSE(std::filesystem::path(line).is_absolute()) << line;
            EXPECT_TRUE(std::filesystem::is_regular_file(RunDir() / line)) << line;
        }
    }
    EXPECT_EQ(ListLines("Liste.txt").size(), 5u);

    // The font and the licence notes are shipped beside the program.
    ASSERT_EQ(TTF_Init(), 0) << TTF_GetError();
    TTF_Font* font = TTF_OpenFont((RunDir() / "NegativeSpace.ttf").string().c_str(), 96);
    EXPECT_NE(font, nullptr) << TTF_GetError();
    if (font)
        TTF_CloseFont(font);
    TTF_Quit();
    EXPECT_TRUE(std::filesystem::is_regular_file(RunDir() / "licenses" / "README.txt"));
}

TEST_F(MediaFiles, SlotPicturesLoadWithTheirMeaning)
{
    const auto images = ListLines("Liste.txt");
    ASSERT_GE(images.size(), 5u);
    Picture pic[6];
    for (int slot = 1; slot <= 5; ++slot) {
        ASSERT_TRUE(LoadPicture(images[static_cast<std::size_t>(slot - 1)], pic[slot])) << slot;
        EXPECT_GE(pic[slot].w, 100) << slot;
        EXPECT_GE(pic[slot].h, 100) << slot;
    }

    // 1 crosshair: see-through corners, white strokes with black outlines,
    // so it reads on a white background and on black squares alike.
    const Picture& cross = pic[1];
    EXPECT_EQ(cross.At(0, 0).a, 0);
    EXPECT_EQ(cross.At(99, 99).a, 0);
    EXPECT_EQ(cross.At(18, 18).a, 0); // between ring and cross arms
    int white = 0, black = 0, clear = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const SDL_Color c = cross.At(x, y);
            if (c.a == 0)
                ++clear;
            else if (c.a == 255 && c.r > 230 && c.g > 230 && c.b > 230)
                ++white;
            else if (c.a == 255 && c.r < 25 && c.g < 25 && c.b < 25)
                ++black;
        }
    }
    EXPECT_GT(white, 500);
    EXPECT_GT(black, 500);
    EXPECT_GT(clear, 5000);

    // 2 fresh square: red; 3 darkened: a darker red; 4 black. All opaque
    // over the whole 100 x 100 source.
    for (int slot = 2; slot <= 5; ++slot)
        for (int y = 0; y < 100; y += 3)
            for (int x = 0; x < 100; x += 3)
                ASSERT_EQ(pic[slot].At(x, y).a, 255) << "slot " << slot << " at " << x << "," << y;
    const SDL_Color fresh = pic[2].At(50, 50);
    const SDL_Color dark = pic[3].At(50, 50);
    const SDL_Color coal = pic[4].At(50, 50);
    EXPECT_GT(fresh.r, 170);
    EXPECT_LT(fresh.g, 80);
    EXPECT_LT(fresh.b, 80);
    EXPECT_LT(dark.r, fresh.r - 60);
    EXPECT_GT(dark.r, dark.g + 40);
    EXPECT_LT(coal.r + coal.g + coal.b, 3 * 35);

    // 5 tutorial backdrop: dark everywhere in the shown area, so white
    // text has strong contrast.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const SDL_Color c = pic[5].At(x, y);
            ASSERT_LT(c.r + c.g + c.b, 3 * 70) << x << "," << y;
        }
}

TEST_F(MediaFiles, EffectsLoadAndLoopWithoutClick)
{
    const auto sounds = ListLines("Sounds.txt");
    ASSERT_GE(sounds.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string path = (RunDir() / sounds[i]).string();
        Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
        EXPECT_NE(chunk, nullptr) << path << ": " << Mix_GetError();
        if (chunk)
            Mix_FreeChunk(chunk);

        Wav wav;
        ASSERT_TRUE(ParseWav(sounds[i], wav)) << path;
        EXPECT_EQ(wav.rate, 44100);
        EXPECT_EQ(wav.bits, 16);
        ASSERT_GE(wav.channels, 1);
        ASSERT_GT(wav.Seconds(), 0.05);
        EXPECT_LT(wav.Seconds(), 5.0);

        // The loop seam: the last frame runs into the first one, so both
        // must be near silence (no jump when the mixer wraps around).
        const std::size_t n = wav.samples.size();
        for (int c = 0; c < wav.channels; ++c) {
            const int first = wav.samples[static_cast<std::size_t>(c)];
            const int last = wav.samples[n - static_cast<std::size_t>(wav.channels - c)];
            EXPECT_LE(std::abs(first), 300) << path;
            EXPECT_LE(std::abs(last), 300) << path;
            EXPECT_LE(std::abs(last - first), 300) << path;
        }
        int peak = 0;
        for (std::int16_t s : wav.samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 8000) << path << " is nearly silent";
        EXPECT_LT(peak, 32767) << path << " clips";
    }
}

TEST_F(MediaFiles, MusicTracksLoadAndLastLongEnough)
{
    const auto tracks = ListLines("Music.txt");
    ASSERT_GE(tracks.size(), 2u);
    std::uintmax_t totalBytes = 0;
    for (const std::string& track : tracks) {
        const std::string path = (RunDir() / track).string();
        Mix_Music* music = Mix_LoadMUS(path.c_str());
        EXPECT_NE(music, nullptr) << path << ": " << Mix_GetError();
#if SDL_MIXER_VERSION_ATLEAST(2, 6, 0)
        if (music) {
            EXPECT_GE(Mix_MusicDuration(music), 30.0) << path;
        }
#endif
        if (music)
            Mix_FreeMusic(music);

        Wav wav;
        ASSERT_TRUE(ParseWav(track, wav)) << path;
        EXPECT_GE(wav.Seconds(), 30.0) << path;
        totalBytes += std::filesystem::file_size(path);

        // Sound all the way through: every 5-second stretch apart from the
        // fade-out carries a signal.
        const std::size_t window = static_cast<std::size_t>(wav.rate) * wav.channels * 5;
        for (std::size_t start = 0; start + 2 * window <= wav.samples.size(); start += window) {
            double sum = 0;
            for (std::size_t i = start; i < start + window; ++i)
                sum += static_cast<double>(wav.samples[i]) * wav.samples[i];
            EXPECT_GT(sum / static_cast<double>(window), 300.0 * 300.0)
                << path << " is quiet from " << start / wav.channels / wav.rate << " s";
        }
    }
    EXPECT_LT(totalBytes, 20u * 1024 * 1024) << "music takes too much room";
}

} // namespace
