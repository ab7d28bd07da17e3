#include "render/cover.h"

#include "render/clipping.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace {

// Opacity of the pictures made so far. Pictures are made on the main thread
// at start-up and on the drawing thread later; the drawing thread asks.
std::mutex PicturesMutex;
std::unordered_map<SDL_Texture*, bool> OpaquePictures;

bool EveryPixelOpaque(SDL_Surface* surface)
{
    // As ARGB, a surface without alpha is opaque and a colour key is alpha 0,
    // as in the texture SDL makes from it.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (argb == nullptr) {
        return false;
    }
    bool opaque = SDL_LockSurface(argb) == 0;
    if (opaque) {
        for (int y = 0; y < argb->h && opaque; ++y) {
            const auto* row = reinterpret_cast<const Uint32*>(
                static_cast<const Uint8*>(argb->pixels) + static_cast<ptrdiff_t>(y) * argb->pitch);
            for (int x = 0; x < argb->w; ++x) {
                if ((row[x] >> 24) != 0xFFu) {
                    opaque = false;
                    break;
                }
            }
        }
        SDL_UnlockSurface(argb);
    }
    SDL_FreeSurface(argb);
    return opaque;
}

bool FitsInt(int64_t v)
{
    return v >= INT_MIN && v <= INT_MAX;
}

} // namespace

void NotePicture(SDL_Texture* texture, SDL_Surface* surface)
{
    if (texture == nullptr || surface == nullptr) {
        return;
    }
    const bool opaque = EveryPixelOpaque(surface);
    std::lock_guard<std::mutex> lock(PicturesMutex);
    OpaquePictures[texture] = opaque;
}

void ForgetPicture(SDL_Texture* texture)
{
    std::lock_guard<std::mutex> lock(PicturesMutex);
    OpaquePictures.erase(texture);
}

void ForgetPictures()
{
    std::lock_guard<std::mutex> lock(PicturesMutex);
    OpaquePictures.clear();
}

bool PictureKnown(SDL_Texture* texture)
{
    std::lock_guard<std::mutex> lock(PicturesMutex);
    return OpaquePictures.count(texture) != 0;
}

bool PictureHides(SDL_Texture* texture)
{
    SDL_BlendMode mode = SDL_BLENDMODE_BLEND;
    if (texture == nullptr || SDL_GetTextureBlendMode(texture, &mode) != 0) {
        return false;
    }
    if (mode == SDL_BLENDMODE_NONE) {
        return true;
    }
    Uint8 alpha = 0;
    if (mode != SDL_BLENDMODE_BLEND || SDL_GetTextureAlphaMod(texture, &alpha) != 0 ||
        alpha != 255) {
        return false;
    }
    std::lock_guard<std::mutex> lock(PicturesMutex);
    const auto found = OpaquePictures.find(texture);
    return found != OpaquePictures.end() && found->second;
}

void FramePlan::Make(SDL_Renderer* renderer, ObjectStack* const* pools, int count,
                     bool leaveOutHidden)
{
    order_.clear();
    parts_.clear();
    for (int p = 0; p < count; ++p) {
        ObjectStack& pool = *pools[p];
        for (int layer = 0; layer <= 5; ++layer) {
            for (int i = 0; i <= pool.Count; ++i) {
                if (pool.Slots[i].Layer == layer) {
                    order_.push_back(Entry{&pool.Slots[i], true, false, 0, 0});
                }
            }
        }
    }
    first_ = 0;
    clearHidden_ = false;
    if (leaveOutHidden) {
        LeaveOutHidden(renderer);
    }
}

int FramePlan::Draw(SDL_Renderer* renderer, TextBox* boxes, int* parts)
{
    int drawn = 0;
    for (size_t i = first_; i < order_.size(); ++i) {
        const Entry& e = order_[i];
        if (!e.shown) {
            continue;
        }
        ++drawn;
        // Blending an opaque pixel copies it; SDL copies faster when told.
        SDL_Texture* picture = e.copy ? Images[e.object->Image] : nullptr;
        if (picture != nullptr) {
            SDL_SetTextureBlendMode(picture, SDL_BLENDMODE_NONE);
        }
        if (e.count == 0) {
            e.object->Draw(renderer, boxes);
        } else {
            for (uint32_t p = e.first; p < e.first + e.count; ++p) {
                const Rect& r = parts_[p];
                const SDL_Rect clip{static_cast<int>(r.x0), static_cast<int>(r.y0),
                                    static_cast<int>(r.x1 - r.x0), static_cast<int>(r.y1 - r.y0)};
                SDL_RenderSetClipRect(renderer, &clip);
                e.object->Draw(renderer, boxes);
            }
            SDL_RenderSetClipRect(renderer, nullptr);
            *parts += static_cast<int>(e.count);
        }
        if (picture != nullptr) {
            SDL_SetTextureBlendMode(picture, SDL_BLENDMODE_BLEND);
        }
    }
    return drawn;
}

FramePlan::Slot& FramePlan::SlotOf(int image)
{
    Slot& slot = slots_[image];
    if (!slot.known) {
        SDL_Texture* texture = Images[image];
        slot.known = true;
        slot.kept = PictureKnown(texture);
        slot.hides = PictureHides(texture) &&
                     SDL_QueryTexture(texture, nullptr, nullptr, &slot.w, &slot.h) == 0;
    }
    return slot;
}

// True when the object's picture is drawn opaque over the whole of `rect`.
bool FramePlan::Covers(const Object& o, const FieldRect& rect)
{
    // Turned or mirrored copies go through SDL's rotation code; only plain
    // ones are known to fill their rectangle exactly (at any size: larger
    // ones are cut to the field before SDL sees them).
    if (o.Angle != 0 || o.Flip != 0 || rect.w <= 0 || rect.h <= 0) {
        return false;
    }
    if (o.Image < 0 || o.Image >= Spritenumber || Images[o.Image] == nullptr) {
        return false;
    }
    const Slot& slot = SlotOf(o.Image);
    // SDL draws the part of the source within the texture over the whole
    // destination, and nothing when that part is empty.
    const int64_t sx = static_cast<int64_t>(o.Frame) * o.FrameW;
    return slot.hides && o.FrameW > 0 && o.FrameH > 0 && FitsInt(sx) && FitsInt(sx + o.FrameW) &&
           sx < slot.w && sx + o.FrameW > 0 && slot.h > 0;
}

void FramePlan::LeaveOutHidden(SDL_Renderer* renderer)
{
    // Rectangles in field pixels land on whole output pixels only at a
    // whole-number scale; elsewhere SDL rounds each copy on its own.
    float sx = 0;
    float sy = 0;
    int ow = 0;
    int oh = 0;
    if (renderer == nullptr || SDL_RenderIsClipEnabled(renderer) ||
        SDL_GetRendererOutputSize(renderer, &ow, &oh) != 0) {
        return;
    }
    SDL_RenderGetScale(renderer, &sx, &sy);
    if (sx != sy || sx < 1 || sx > 64 || sx != std::floor(sx)) {
        return;
    }
    // The part of the field that shows, as the copies are cut to it.
    SDL_Rect viewport;
    SDL_RenderGetViewport(renderer, &viewport);
    int w = 0;
    int h = 0;
    SDL_RenderGetLogicalSize(renderer, &w, &h);
    if (w <= 0 || h <= 0) {
        w = viewport.w;
        h = viewport.h;
    }
    if (w <= 0 || h <= 0) {
        return;
    }
    const Rect area{0, 0, w, h};
    const int scale = static_cast<int>(sx);
    // The clear also paints bars beside a field that does not fill the
    // output; a square covering the field leaves those to the clear.
    const bool fillsOutput = viewport.x == 0 && viewport.y == 0 &&
                             static_cast<int64_t>(w) * scale == ow &&
                             static_cast<int64_t>(h) * scale == oh;

    for (Slot& slot : slots_) {
        slot = Slot{};
    }
    // SDL's software renderer scales a copy within the field itself; one
    // across the edge is scaled in clipping.cpp, pixel by pixel from its
    // place alone, so any part of it comes out as in the whole. Elsewhere
    // the clip rectangle cuts any copy exactly.
    const bool software = IsSoftwareRenderer(renderer);
    // Back to front: the later squares that hide whole rectangles, the
    // largest few kept, largest first.
    constexpr size_t Kept = 8;
    constexpr size_t MostParts = 16;
    Rect covers[Kept];
    size_t kept = 0;
    std::vector<Rect>& pieces = pieces_;
    std::vector<Rect>& next = next_;
    auto area64 = [](const Rect& r) { return (r.x1 - r.x0) * (r.y1 - r.y0); };
    for (size_t k = order_.size(); k-- > 0;) {
        Entry& entry = order_[k];
        const Object& o = *entry.object;
        const FieldRect rect = o.DrawnRect();
        const Rect seen{std::max(rect.x, area.x0), std::max(rect.y, area.y0),
                        std::min(rect.x + std::max<int64_t>(rect.w, 0), area.x1),
                        std::min(rect.y + std::max<int64_t>(rect.h, 0), area.y1)};
        const bool empty = seen.x0 >= seen.x1 || seen.y0 >= seen.y1;
        const bool opaque = !empty && Covers(o, rect);
        SDL_BlendMode mode = SDL_BLENDMODE_NONE;
        entry.copy = opaque && SDL_GetTextureBlendMode(Images[o.Image], &mode) == 0 &&
                     mode == SDL_BLENDMODE_BLEND;
        const bool whole = opaque && seen.x0 == area.x0 && seen.y0 == area.y0 &&
                           seen.x1 == area.x1 && seen.y1 == area.y1;
        // An unturned picture without text shows nothing outside its
        // rectangle; a text box may reach past it, a turned picture does.
        const bool plain = o.Angle == 0 && (o.Box <= 0 || o.Box >= Boxnumber);
        if (plain) {
            // What the later squares leave of it, in a few rectangles; with
            // too many the larger squares' cuts alone (a little more drawn).
            pieces.clear();
            if (!empty) {
                pieces.push_back(seen);
            }
            for (size_t c = 0; c < kept && !pieces.empty(); ++c) {
                const Rect& h = covers[c];
                next.clear();
                for (const Rect& r : pieces) {
                    if (r.x0 >= h.x1 || r.x1 <= h.x0 || r.y0 >= h.y1 || r.y1 <= h.y0) {
                        next.push_back(r);
                        continue;
                    }
                    const int64_t y0 = std::max(r.y0, h.y0);
                    const int64_t y1 = std::min(r.y1, h.y1);
                    if (r.y0 < y0) {
                        next.push_back(Rect{r.x0, r.y0, r.x1, y0});
                    }
                    if (y1 < r.y1) {
                        next.push_back(Rect{r.x0, y1, r.x1, r.y1});
                    }
                    if (r.x0 < h.x0) {
                        next.push_back(Rect{r.x0, y0, h.x0, y1});
                    }
                    if (h.x1 < r.x1) {
                        next.push_back(Rect{h.x1, y0, r.x1, y1});
                    }
                }
                if (next.size() > MostParts) {
                    break;
                }
                pieces.swap(next);
            }
            if (pieces.empty()) {
                entry.shown = false;
            } else if (pieces.size() > 1 || area64(pieces[0]) < area64(seen)) {
                const bool across = rect.x < area.x0 || rect.y < area.y0 ||
                                    rect.x + rect.w > area.x1 || rect.y + rect.h > area.y1;
                if (!software || (across && o.Image >= 0 && o.Image < Spritenumber &&
                                  Images[o.Image] != nullptr && SlotOf(o.Image).kept)) {
                    entry.first = static_cast<uint32_t>(parts_.size());
                    entry.count = static_cast<uint32_t>(pieces.size());
                    parts_.insert(parts_.end(), pieces.begin(), pieces.end());
                }
            }
        }
        if (whole) {
            // Nothing before it shows.
            first_ = k;
            clearHidden_ = fillsOutput;
            return;
        }
        if (!opaque) {
            continue;
        }
        // Largest first: a piece left by a large square is rarely cut again.
        size_t at = Kept - 1;
        if (kept < Kept) {
            at = kept++;
        } else if (area64(seen) <= area64(covers[at])) {
            continue;
        }
        for (; at > 0 && area64(covers[at - 1]) < area64(seen); --at) {
            covers[at] = covers[at - 1];
        }
        covers[at] = seen;
    }
}
