// vorlune_mediagen: writes the game's pictures, sound effects, music tracks
// and the three list files into a directory (the program's working folder),
// and the program's icon into a second directory when one is given.
//
//   vorlune_mediagen <output dir> [<icon dir>]
//
// Everything is computed here, deterministically and with the standard
// library only, so a build always ships the same files:
//   media/*.png  RGBA images, zlib "stored" blocks (no compressor needed)
//   media/*.wav  16-bit PCM: effects at 44100 Hz, music at 22050 Hz mono
//   Liste.txt, Sounds.txt, Music.txt  one relative path per line, '\n' ends
//   media/icon.png  the window's icon (64 px)
//   <icon dir>/vorlune-<size>.png, vorlune.svg, vorlune.ico  the desktop and
//                   Windows icons: a square with the crosshair over it
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Small binary helpers
// ---------------------------------------------------------------------------

using Bytes = std::vector<std::uint8_t>;

void PutU16LE(Bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutU32LE(Bytes& out, std::uint32_t v)
{
    PutU16LE(out, v & 0xFFFF);
    PutU16LE(out, v >> 16);
}

void PutU32BE(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

void PutText(Bytes& out, const char* text)
{
    for (const char* p = text; *p; ++p)
        out.push_back(static_cast<std::uint8_t>(*p));
}

bool WriteFile(const std::filesystem::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "mediagen: cannot open %s for writing\n", path.string().c_str());
        return false;
    }
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "mediagen: writing %s failed\n", path.string().c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// PNG writer (8-bit RGBA, filter 0, uncompressed deflate blocks)
// ---------------------------------------------------------------------------

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const Bytes& data)
{
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutChunk(Bytes& png, const char type[5], const Bytes& body)
{
    PutU32BE(png, static_cast<std::uint32_t>(body.size()));
    Bytes typed;
    PutText(typed, type);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutU32BE(png, Crc32(typed.data(), typed.size()));
}

// A zlib stream made of "stored" deflate blocks of at most 65535 bytes.
Bytes ZlibStored(const Bytes& raw)
{
    Bytes z = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t len = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + len == raw.size();
        z.push_back(last ? 1 : 0);
        PutU16LE(z, static_cast<std::uint32_t>(len));
        PutU16LE(z, static_cast<std::uint32_t>(~len & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
    } while (pos < raw.size());
    PutU32BE(z, Adler32(raw));
    return z;
}

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0; // straight (not premultiplied), 0..1
};

struct Image {
    int width;
    int height;
    std::vector<Rgba> pixels;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h)) {}
    Rgba& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

std::uint8_t ToByte(double v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

Bytes EncodePng(Image& img)
{
    Bytes raw;
    raw.reserve(static_cast<std::size_t>(img.height * (img.width * 4 + 1)));
    for (int y = 0; y < img.height; ++y) {
        raw.push_back(0); // filter type "none"
        for (int x = 0; x < img.width; ++x) {
            const Rgba& p = img.At(x, y);
            raw.push_back(ToByte(p.r));
            raw.push_back(ToByte(p.g));
            raw.push_back(ToByte(p.b));
            raw.push_back(ToByte(p.a));
        }
    }
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutU32BE(ihdr, static_cast<std::uint32_t>(img.width));
    PutU32BE(ihdr, static_cast<std::uint32_t>(img.height));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // 8 bit, RGBA, deflate, filter 0, no interlace
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", ZlibStored(raw));
    PutChunk(png, "IEND", {});
    return png;
}

// Renders a picture by sampling `shade(x, y)` on a 4x4 grid inside every
// pixel and averaging with premultiplied alpha, which smooths the edges.
Image Render(int w, int h, const std::function<Rgba(double, double)>& shade)
{
    Image img(w, h);
    constexpr int Grid = 4;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < Grid; ++sy) {
                for (int sx = 0; sx < Grid; ++sx) {
                    const Rgba c = shade(x + (sx + 0.5) / Grid, y + (sy + 0.5) / Grid);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            Rgba& out = img.At(x, y);
            out.a = a / (Grid * Grid);
            if (a > 0) {
                out.r = r / a;
                out.g = g / a;
                out.b = b / a;
            }
        }
    }
    return img;
}

// Crosshair: a white ring and a white cross with a gap in the middle, both
// outlined in black so they read over white, red, dark and black squares.
// `bold` widens the white lines and `rim` the outline, for small icons.
Rgba CrosshairShape(double x, double y, double bold, double rim)
{
    const double cx = 50, cy = 50;
    const double dx = x - cx, dy = y - cy;
    const double dist = std::hypot(dx, dy);
    const double ringRadius = 30, ringHalf = 2.5 * bold;
    const double armHalf = 2.0 * bold, armInner = 11, armOuter = 47;
    const double dotRadius = 3.0 * bold;
    const double outline = 2.0 * rim;

    // Signed distance to the white shapes (negative inside).
    const double ring = std::fabs(dist - ringRadius) - ringHalf;
    auto arm = [&](double along, double across) {
        const double a = std::fabs(along);
        const double outside = std::max(armInner - a, a - armOuter);
        const double side = std::fabs(across) - armHalf;
        if (outside <= 0 || side <= 0)
            return std::max(outside, side);
        return std::hypot(outside, side);
    };
    const double cross = std::min(arm(dx, dy), arm(dy, dx));
    const double dot = dist - dotRadius;
    const double white = std::min({ring, cross, dot});

    if (white <= 0)
        return {1, 1, 1, 1};
    if (white <= outline)
        return {0, 0, 0, 1};
    return {0, 0, 0, 0};
}

Rgba Crosshair(double x, double y)
{
    return CrosshairShape(x, y, 1, 1);
}

// A square enemy: flat colour with a darker rim and a soft light from the top.
std::function<Rgba(double, double)> Square(Rgba face, Rgba rim)
{
    return [face, rim](double x, double y) {
        const double edge = std::min({x, y, 100 - x, 100 - y});
        if (edge < 5)
            return rim;
        const double light = 0.12 * (1 - y / 100.0);
        return Rgba{std::min(1.0, face.r + light), std::min(1.0, face.g + light),
                    std::min(1.0, face.b + light), 1};
    };
}

// Backdrop of the tutorial messages: an opaque deep blue-grey that darkens
// towards the bottom; white text reads well over it.
Rgba Backdrop(double, double y)
{
    const double t = y / 100.0;
    return {(30 - 18 * t) / 255.0, (34 - 20 * t) / 255.0, (56 - 30 * t) / 255.0, 1};
}

// ---------------------------------------------------------------------------
// The program's icon: a fresh square with the crosshair over it
// ---------------------------------------------------------------------------

const Rgba FreshFace{0.84, 0.12, 0.14, 1};
const Rgba FreshRim{0.55, 0.05, 0.08, 1};

// The square covers the middle of the icon; the crosshair's arms reach past
// it, so the icon reads on light and dark panels alike.
constexpr double IconSquareLow = 12, IconSquareHigh = 88;

// Shade of an icon of `size` pixels, in the 100 x 100 units of the game's
// pictures. Small icons get bolder lines, or the crosshair would vanish, and
// the smallest a thinner outline, or it would swallow the square.
std::function<Rgba(double, double)> Icon(int size)
{
    const double bold = std::max(1.0, 28.0 / size);
    const double rim = size < 24 ? 0.6 : bold;
    const auto square = Square(FreshFace, FreshRim);
    return [size, bold, rim, square](double x, double y) {
        const double u = x * 100 / size, v = y * 100 / size;
        const Rgba cross = CrosshairShape(u, v, bold, rim);
        if (cross.a > 0)
            return cross;
        if (u < IconSquareLow || u > IconSquareHigh || v < IconSquareLow || v > IconSquareHigh)
            return Rgba{};
        const double scale = 100 / (IconSquareHigh - IconSquareLow);
        return square((u - IconSquareLow) * scale, (v - IconSquareLow) * scale);
    };
}

std::string Hex(const Rgba& c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", ToByte(c.r), ToByte(c.g), ToByte(c.b));
    return text;
}

Rgba Lighter(const Rgba& c, double light)
{
    return {std::min(1.0, c.r + light), std::min(1.0, c.g + light), std::min(1.0, c.b + light), 1};
}

// The same icon as a scalable picture: the crosshair is drawn twice, black
// and wide for the outline, then white.
Bytes IconSvg()
{
    const double lo = IconSquareLow, side = IconSquareHigh - IconSquareLow, rim = side * 0.05;
    std::string svg;
    char line[256];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        svg += line;
    };
    add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 100 100\">\n");
    add("  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"%s\"/>\n", lo, lo, side, side,
        Hex(FreshRim).c_str());
    add("  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"%s\"/>\n", lo + rim, lo + rim,
        side - 2 * rim, side - 2 * rim, Hex(Lighter(FreshFace, 0.06)).c_str());
    struct Pen {
        const char* colour;
        double grow; // how far the lines reach past the white shapes
    };
    for (const Pen pen : {Pen{"#000000", 2.0}, Pen{"#ffffff", 0.0}}) {
        add("  <g fill=\"none\" stroke=\"%s\">\n", pen.colour);
        add("    <circle cx=\"50\" cy=\"50\" r=\"30\" stroke-width=\"%g\"/>\n", 5 + 2 * pen.grow);
        add("    <path stroke-width=\"%g\" d=\"M50 %gV%gM50 %gV%gM%g 50H%gM%g 50H%g\"/>\n",
            4 + 2 * pen.grow, 3 - pen.grow, 39 + pen.grow, 61 - pen.grow, 97 + pen.grow,
            3 - pen.grow, 39 + pen.grow, 61 - pen.grow, 97 + pen.grow);
        add("  </g>\n");
        add("  <circle cx=\"50\" cy=\"50\" r=\"%g\" fill=\"%s\"/>\n", 3 + pen.grow, pen.colour);
    }
    add("</svg>\n");
    Bytes out;
    PutText(out, svg.c_str());
    return out;
}

// A Windows icon file holding PNG pictures (valid in .ico files since
// Windows Vista); a size of 256 is written as 0 in the directory.
Bytes EncodeIco(const std::vector<std::pair<int, Bytes>>& pngs)
{
    Bytes ico;
    PutU16LE(ico, 0); // reserved
    PutU16LE(ico, 1); // icon
    PutU16LE(ico, static_cast<std::uint32_t>(pngs.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * pngs.size());
    for (const auto& [size, png] : pngs) {
        ico.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
        ico.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
        ico.push_back(0);  // no palette
        ico.push_back(0);  // reserved
        PutU16LE(ico, 1);  // colour planes
        PutU16LE(ico, 32); // bits per pixel
        PutU32LE(ico, static_cast<std::uint32_t>(png.size()));
        PutU32LE(ico, offset);
        offset += static_cast<std::uint32_t>(png.size());
    }
    for (const auto& entry : pngs)
        ico.insert(ico.end(), entry.second.begin(), entry.second.end());
    return ico;
}

// ---------------------------------------------------------------------------
// Sound: WAV writer and synthesis helpers
// ---------------------------------------------------------------------------

Bytes EncodeWav(const std::vector<double>& samples, int rate)
{
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    Bytes wav;
    PutText(wav, "RIFF");
    PutU32LE(wav, 36 + dataBytes);
    PutText(wav, "WAVE");
    PutText(wav, "fmt ");
    PutU32LE(wav, 16);
    PutU16LE(wav, 1); // PCM
    PutU16LE(wav, 1); // mono
    PutU32LE(wav, static_cast<std::uint32_t>(rate));
    PutU32LE(wav, static_cast<std::uint32_t>(rate * 2));
    PutU16LE(wav, 2);  // block align
    PutU16LE(wav, 16); // bits per sample
    PutText(wav, "data");
    PutU32LE(wav, dataBytes);
    for (double s : samples) {
        const long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        PutU16LE(wav, static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) & 0xFFFF);
    }
    return wav;
}

// Deterministic white noise in -1..1 (a 32-bit linear congruential generator).
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
    }

  private:
    std::uint32_t state_;
};

void Normalize(std::vector<double>& samples, double peak)
{
    double max = 0;
    for (double s : samples)
        max = std::max(max, std::fabs(s));
    if (max <= 0)
        return;
    for (double& s : samples)
        s *= peak / max;
}

// Rises from 0 over `attack` seconds and falls back to 0 over the last
// `release` seconds of `length` seconds (raised-cosine ramps, no clicks).
double Gate(double t, double length, double attack, double release)
{
    if (t <= 0 || t >= length)
        return 0;
    double g = 1;
    if (t < attack)
        g *= 0.5 - 0.5 * std::cos(Pi * t / attack);
    if (t > length - release)
        g *= 0.5 - 0.5 * std::cos(Pi * (length - t) / release);
    return g;
}

// Gun loop: four quick shots. Every shot starts and ends in silence and the
// loop holds exactly four shot periods, so it repeats without a click.
std::vector<double> GunLoop(int rate)
{
    constexpr int Shots = 4;
    const int period = rate * 3 / 40; // 75 ms per shot
    std::vector<double> out(static_cast<std::size_t>(period * Shots), 0.0);
    Noise noise(0x5eed1u);
    const double shotLength = static_cast<double>(period) / rate;
    for (int shot = 0; shot < Shots; ++shot) {
        const double detune = 1.0 + 0.03 * ((shot * 5) % 3 - 1);
        double phase = 0, thump = 0, low = 0;
        for (int i = 0; i < period; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double freq = (850 * std::exp(-t / 0.025) + 170) * detune;
            phase += 2 * Pi * freq / rate;
            thump += 2 * Pi * 85 / rate;
            low += 0.35 * (noise.Next() - low); // dull the noise a little
            const double tail = 1 - t / shotLength;
            const double gate = Gate(t, shotLength, 0.001, 0.004) * tail * tail;
            const double s = 0.55 * std::sin(phase) * std::exp(-t / 0.022) +
                             0.45 * low * std::exp(-t / 0.010) +
                             0.50 * std::sin(thump) * std::exp(-t / 0.028);
            out[static_cast<std::size_t>(shot * period + i)] = s * gate;
        }
    }
    Normalize(out, 0.6);
    return out;
}

// Warning loop: a soft two-tone chime once a second, silent at both ends.
std::vector<double> WarningLoop(int rate)
{
    std::vector<double> out(static_cast<std::size_t>(rate), 0.0);
    struct Tone {
        double start, length, freq;
    };
    const Tone tones[] = {{0.02, 0.20, 880.0}, {0.28, 0.26, 659.26}};
    for (const Tone& tone : tones) {
        const int first = static_cast<int>(tone.start * rate);
        const int count = static_cast<int>(tone.length * rate);
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double w = 2 * Pi * tone.freq * t;
            const double s = std::sin(w) + 0.3 * std::sin(2 * w) + 0.12 * std::sin(3 * w);
            out[static_cast<std::size_t>(first + i)] +=
                s * Gate(t, tone.length, 0.008, 0.06) * std::exp(-t / 0.25);
        }
    }
    Normalize(out, 0.5);
    return out;
}

// ---------------------------------------------------------------------------
// Music: a tiny sequencer rendering chords, bass, arpeggio, melody and drums
// ---------------------------------------------------------------------------

double MidiFreq(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

struct Note {
    double beat;   // start, in beats from the start of the phrase
    double length; // in beats
    int pitch;     // MIDI note number
};

struct Song {
    int rate = 22050;
    double bpm = 120;
    int bars = 16;                          // bars of the main body (4/4)
    std::vector<std::array<int, 3>> chords; // one chord per bar, cycled
    std::vector<Note> melodyA, melodyB;     // four-bar phrases
    std::vector<int> arpOrder;              // chord-tone indices, 16ths
    std::vector<double> bassBeats;          // bass onsets within a bar
    std::vector<double> kickBeats;          // kick onsets within a bar
    std::uint32_t seed = 1;
};

class Mixer {
  public:
    Mixer(int rate, double seconds)
        : rate_(rate), dry(static_cast<std::size_t>(rate * seconds), 0.0), wet(dry.size(), 0.0)
    {
    }

    // Adds `voice(t)` for t in [0, length) seconds at `start` seconds.
    void Add(std::vector<double>& bus, double start, double length,
             const std::function<double(double)>& voice)
    {
        const long first = std::lround(start * rate_);
        const long count = std::lround(length * rate_);
        for (long i = 0; i < count; ++i) {
            const long at = first + i;
            if (at < 0 || at >= static_cast<long>(bus.size()))
                continue;
            bus[static_cast<std::size_t>(at)] += voice(static_cast<double>(i) / rate_);
        }
    }

    // Mixes the wet bus through a feedback echo into the dry bus.
    std::vector<double> Finish(double delaySeconds, double feedback, double mix)
    {
        const auto delay = static_cast<std::size_t>(delaySeconds * rate_);
        std::vector<double> echo(wet.size(), 0.0);
        for (std::size_t i = 0; i < wet.size(); ++i) {
            const double back = i >= delay ? echo[i - delay] : 0.0;
            echo[i] = wet[i] + feedback * back;
        }
        std::vector<double> out(dry.size());
        for (std::size_t i = 0; i < dry.size(); ++i)
            out[i] = dry[i] + wet[i] + mix * (echo[i] - wet[i]);
        return out;
    }

    int rate_;
    std::vector<double> dry, wet;
};

// Voices. Each returns a sample for time t seconds after the note start.
double PadVoice(double t, double freq, double length)
{
    const double w = 2 * Pi * freq * t;
    const double s = std::sin(w) + 0.6 * std::sin(w * 1.003) + 0.15 * std::sin(2 * w);
    return 0.045 * s * Gate(t, length, 0.35, 0.4);
}

double BassVoice(double t, double freq, double length)
{
    const double w = 2 * Pi * freq * t;
    const double s = std::sin(w) + 0.45 * std::sin(2 * w) + 0.15 * std::sin(3 * w);
    return 0.22 * s * std::exp(-t / 0.35) * Gate(t, length, 0.004, 0.03);
}

double PluckVoice(double t, double freq, double length)
{
    const double w = 2 * Pi * freq * t;
    const double s = std::sin(w) + 0.3 * std::sin(2 * w) * std::exp(-t / 0.05);
    return 0.07 * s * std::exp(-t / 0.14) * Gate(t, length, 0.003, 0.02);
}

double LeadVoice(double t, double freq, double length)
{
    // Phase of a tone whose frequency swings by 0.5 % at 5.5 Hz.
    const double rateHz = 5.5, depth = 0.005;
    const double w =
        2 * Pi * freq * t + freq * depth / rateHz * (1 - std::cos(2 * Pi * rateHz * t));
    const double s = std::sin(w) + 0.25 * std::sin(2 * w) + 0.08 * std::sin(3 * w);
    return 0.12 * s * (0.75 + 0.25 * std::exp(-t / 0.1)) * Gate(t, length, 0.012, 0.07);
}

double KickVoice(double t)
{
    const double phase = 2 * Pi * (45 * t + 105 * 0.035 * (1 - std::exp(-t / 0.035)));
    return 0.40 * std::sin(phase) * std::exp(-t / 0.16) * Gate(t, 0.35, 0.002, 0.03);
}

std::vector<double> RenderSong(const Song& song)
{
    const double beat = 60.0 / song.bpm;
    const double bar = 4 * beat;
    const double body = song.bars * bar;
    const double outro = 2 * bar;
    Mixer mix(song.rate, body + outro);

    auto chordAt = [&](int barIndex) {
        return song.chords[static_cast<std::size_t>(barIndex) % song.chords.size()];
    };
    const int section = song.bars / 4; // four sections of equal length

    for (int b = 0; b < song.bars; ++b) {
        const double t0 = b * bar;
        const auto chord = chordAt(b);
        const int part = b / section; // 0 intro, 1 groove, 2 theme, 3 variation

        // Pad: the chord held for the whole bar.
        for (int note : chord) {
            const double f = MidiFreq(note);
            mix.Add(mix.dry, t0, bar + 0.3,
                    [f, bar](double t) { return PadVoice(t, f, bar + 0.3); });
        }

        // Bass: root of the chord, two octaves down; quarters in the intro.
        const double root = MidiFreq(chord[0] - 24);
        std::vector<double> onsets = part == 0 ? std::vector<double>{0, 1, 2, 3} : song.bassBeats;
        for (std::size_t i = 0; i < onsets.size(); ++i) {
            const double next = i + 1 < onsets.size() ? onsets[i + 1] : 4.0;
            const double len = (next - onsets[i]) * beat;
            const double f = (part == 3 && i % 4 == 3) ? root * 2 : root;
            mix.Add(mix.dry, t0 + onsets[i] * beat, len,
                    [f, len](double t) { return BassVoice(t, f, len); });
        }

        // Arpeggio in sixteenths from the groove on, an octave up.
        if (part >= 1) {
            for (int step = 0; step < 16; ++step) {
                const int idx =
                    song.arpOrder[static_cast<std::size_t>(step) % song.arpOrder.size()];
                const int note =
                    idx < 3 ? chord[static_cast<std::size_t>(idx)] + 12 : chord[0] + 24;
                const double f = MidiFreq(note);
                const double len = beat / 4 * 1.5;
                mix.Add(mix.wet, t0 + step * beat / 4, len,
                        [f, len](double t) { return PluckVoice(t, f, len); });
            }
        }

        // Drums: hats from the start, kick and snare from the groove on.
        for (int e = 0; e < 8; ++e) {
            const double level = e % 2 ? 0.035 : 0.05;
            const std::uint32_t hatSeed = song.seed * 7919u + static_cast<std::uint32_t>(b * 8 + e);
            Noise hat(hatSeed);
            double prev = 0;
            mix.Add(mix.dry, t0 + e * beat / 2, 0.08, [hat, prev, level](double t) mutable {
                const double n = hat.Next();
                const double high = n - prev; // crude high-pass
                prev = n;
                return level * high * std::exp(-t / 0.018) * Gate(t, 0.08, 0.001, 0.01);
            });
        }
        if (part >= 1) {
            for (double k : song.kickBeats)
                mix.Add(mix.dry, t0 + k * beat, 0.35, KickVoice);
            for (double s : {1.0, 3.0}) {
                Noise snare(song.seed * 104729u + static_cast<std::uint32_t>(b * 2 + s));
                double soft = 0;
                mix.Add(mix.dry, t0 + s * beat, 0.2, [snare, soft](double t) mutable {
                    soft += 0.5 * (snare.Next() - soft); // take the edge off the noise
                    const double body = 0.4 * std::sin(2 * Pi * 185 * t) * std::exp(-t / 0.03);
                    return 0.2 * (soft * std::exp(-t / 0.055) + body) * Gate(t, 0.2, 0.001, 0.02);
                });
            }
        }
    }

    // Melody: the theme in section three, its variation in section four.
    for (int p = 2; p < 4; ++p) {
        const auto& phrase = p == 2 ? song.melodyA : song.melodyB;
        for (int rep = 0; rep < section / 4; ++rep) {
            const double start = (p * section + rep * 4) * bar;
            for (const Note& n : phrase) {
                const double f = MidiFreq(n.pitch);
                const double len = n.length * beat * 0.95;
                mix.Add(mix.wet, start + n.beat * beat, len,
                        [f, len](double t) { return LeadVoice(t, f, len); });
            }
        }
    }

    // Outro: the first chord rings out with one low bass note.
    const auto last = chordAt(0);
    for (int note : last) {
        const double f = MidiFreq(note);
        mix.Add(mix.dry, body, outro, [f, outro](double t) { return 1.4 * PadVoice(t, f, outro); });
    }
    const double lowRoot = MidiFreq(last[0] - 24);
    mix.Add(mix.dry, body, outro,
            [lowRoot, outro](double t) { return BassVoice(t, lowRoot, outro); });
    mix.Add(mix.dry, body, 0.35, KickVoice);

    std::vector<double> out = mix.Finish(beat * 0.75, 0.3, 0.35);
    // Gentle fades at both ends of the track.
    const double total = static_cast<double>(out.size()) / song.rate;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] *= Gate(static_cast<double>(i) / song.rate, total, 0.05, 1.5);
    Normalize(out, 0.85);
    return out;
}

// Track 1: A minor, 120 beats per minute, Am - F - C - G.
Song TrackOne()
{
    Song s;
    s.bpm = 120;
    s.bars = 16;
    s.seed = 11;
    s.chords = {{57, 60, 64}, {53, 57, 60}, {60, 64, 67}, {55, 59, 62}};
    s.arpOrder = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 2, 1, 2};
    s.bassBeats = {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5};
    s.kickBeats = {0, 2};
    s.melodyA = {{0, 1, 76},  {1, 1, 81},  {2, 0.5, 79},  {2.5, 0.5, 76},
                 {3, 1, 72},  {4, 1, 77},  {5, 1, 81},    {6, 2, 84},
                 {8, 1, 79},  {9, 1, 76},  {10, 0.5, 74}, {10.5, 0.5, 76},
                 {11, 1, 79}, {12, 2, 74}, {14, 1, 71},   {15, 1, 74}};
    s.melodyB = {{0, 1, 81},   {1, 1, 84},     {2, 0.5, 83}, {2.5, 0.5, 81}, {3, 1, 76}, {4, 1, 77},
                 {5, 0.5, 81}, {5.5, 0.5, 79}, {6, 1, 77},   {7, 1, 81},     {8, 1, 76}, {9, 1, 79},
                 {10, 1, 84},  {11, 1, 83},    {12, 1, 74},  {13, 1, 79},    {14, 2, 83}};
    return s;
}

// Track 2: D major, 96 beats per minute, D - Bm - G - A, a lighter groove.
Song TrackTwo()
{
    Song s;
    s.bpm = 96;
    s.bars = 16;
    s.seed = 23;
    s.chords = {{62, 66, 69}, {59, 62, 66}, {55, 59, 62}, {57, 61, 64}};
    s.arpOrder = {0, 2, 1, 2, 3, 2, 1, 2};
    s.bassBeats = {0, 1.5, 2, 3, 3.5};
    s.kickBeats = {0, 1.5, 2};
    s.melodyA = {{0, 1, 69},     {1, 1, 74},  {2, 1, 78},  {3, 1, 76},   {4, 1.5, 74},
                 {5.5, 0.5, 71}, {6, 2, 78},  {8, 1, 79},  {9, 0.5, 78}, {9.5, 0.5, 76},
                 {10, 1, 74},    {11, 1, 71}, {12, 2, 73}, {14, 1, 76},  {15, 1, 81}};
    s.melodyB = {{0, 1, 78},  {1, 1, 81},  {2, 1.5, 86}, {3.5, 0.5, 85}, {4, 2, 83},
                 {6, 1, 81},  {7, 1, 78},  {8, 1, 79},   {9, 1, 83},     {10, 1, 81},
                 {11, 1, 79}, {12, 1, 76}, {13, 1, 73},  {14, 2, 69}};
    return s;
}

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------

bool WriteList(const std::filesystem::path& path, const std::vector<std::string>& lines)
{
    Bytes text;
    for (const std::string& line : lines) {
        PutText(text, line.c_str());
        text.push_back('\n');
    }
    return WriteFile(path, text);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output directory> [<icon directory>]\n",
                     argc > 0 ? argv[0] : "mediagen");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(root / "media", ec);
    if (ec) {
        std::fprintf(stderr, "mediagen: cannot create %s: %s\n", (root / "media").string().c_str(),
                     ec.message().c_str());
        return 1;
    }

    bool ok = true;
    auto png = [&](const char* name, Image img) {
        ok = WriteFile(root / "media" / name, EncodePng(img)) && ok;
        return std::string("media/") + name;
    };
    auto wav = [&](const char* name, const std::vector<double>& samples, int rate) {
        ok = WriteFile(root / "media" / name, EncodeWav(samples, rate)) && ok;
        return std::string("media/") + name;
    };

    // Image list: line n fills texture slot n.
    std::vector<std::string> images;
    images.push_back(png("crosshair.png", Render(100, 100, Crosshair)));
    images.push_back(png("square_fresh.png", Render(100, 100, Square(FreshFace, FreshRim))));
    images.push_back(png("square_dark.png",
                         Render(100, 100, Square({0.42, 0.06, 0.09, 1}, {0.25, 0.02, 0.04, 1}))));
    images.push_back(png("square_black.png",
                         Render(100, 100, Square({0.05, 0.05, 0.06, 1}, {0.24, 0.24, 0.26, 1}))));
    images.push_back(png("backdrop.png", Render(100, 100, Backdrop)));
    ok = WriteList(root / "Liste.txt", images) && ok;

    // Sound list: 1 gun loop, 2 warning loop.
    const int fxRate = 44100;
    std::vector<std::string> sounds;
    sounds.push_back(wav("gun.wav", GunLoop(fxRate), fxRate));
    sounds.push_back(wav("warning.wav", WarningLoop(fxRate), fxRate));
    ok = WriteList(root / "Sounds.txt", sounds) && ok;

    // Music list.
    std::vector<std::string> music;
    const Song one = TrackOne();
    const Song two = TrackTwo();
    music.push_back(wav("track1.wav", RenderSong(one), one.rate));
    music.push_back(wav("track2.wav", RenderSong(two), two.rate));
    ok = WriteList(root / "Music.txt", music) && ok;

    // The window's icon, loaded from the working folder at start.
    Image windowIcon = Render(64, 64, Icon(64));
    ok = WriteFile(root / "media" / "icon.png", EncodePng(windowIcon)) && ok;

    // Desktop and Windows icons.
    if (argc == 3) {
        const std::filesystem::path icons = argv[2];
        std::filesystem::create_directories(icons, ec);
        if (ec) {
            std::fprintf(stderr, "mediagen: cannot create %s: %s\n", icons.string().c_str(),
                         ec.message().c_str());
            return 1;
        }
        std::vector<std::pair<int, Bytes>> pngs;
        for (int size : {16, 32, 48, 64, 128, 256}) {
            Image img = Render(size, size, Icon(size));
            pngs.emplace_back(size, EncodePng(img));
            const std::string name = "vorlune-" + std::to_string(size) + ".png";
            ok = WriteFile(icons / name, pngs.back().second) && ok;
        }
        ok = WriteFile(icons / "vorlune.svg", IconSvg()) && ok;
        ok = WriteFile(icons / "vorlune.ico", EncodeIco(pngs)) && ok;
    }

    return ok ? 0 : 1;
}
