// What a frame can leave out. The pools are drawn back to front, so a square
// whose picture is opaque hides everything drawn before it under its
// rectangle; one that covers the whole field hides the clear as well.
#pragma once

#include "world/globals.h"
#include "world/object.h"

#include <SDL.h>
#include <cstddef>
#include <vector>

// Notes whether every pixel of `surface` is fully opaque, for `texture` made
// from it. Done once per picture, when it is made.
void NotePicture(SDL_Texture* texture, SDL_Surface* surface);
// Forgets what was noted of one texture (before it is destroyed), or of all
// of them (before their renderer is).
void ForgetPicture(SDL_Texture* texture);
void ForgetPictures();

// True when `texture` was made as a picture (its pixels are kept with it).
bool PictureKnown(SDL_Texture* texture);

// True when a copy of `texture` replaces what lies under it: it is drawn
// without blending, or it blends at full alpha modulation and every pixel
// was noted opaque. Colour modulation changes no opacity.
bool PictureHides(SDL_Texture* texture);

// The objects of one frame in drawing order, without those that later
// squares hide, and the visible parts of squares that later ones hide in
// part.
class FramePlan {
  public:
    // Lists the objects of `pools`, drawn one after the other, each in the
    // order of ObjectStack::Rend (layers 0 to 5, slots in order). With
    // `leaveOutHidden` it leaves out what later squares hide, where the
    // target shows that to the pixel: at a whole-number scale, without a
    // clip rectangle.
    void Make(SDL_Renderer* renderer, ObjectStack* const* pools, int count, bool leaveOutHidden);
    // True when a square covers everything the clear would show.
    bool ClearHidden() const { return clearHidden_; }
    // Draws the listed objects in order, those hidden in part only where
    // they show (through the clip rectangle); returns how many objects were
    // drawn and adds the number of such parts to `parts`.
    int Draw(SDL_Renderer* renderer, TextBox* boxes, int* parts);

  private:
    struct Rect {
        int64_t x0, y0, x1, y1;
    };
    // One object: left out, drawn whole, or drawn in the parts
    // parts_[first, first + count); `copy` when its opaque picture may be
    // drawn without blending, which gives the same pixels for less work.
    struct Entry {
        Object* object;
        bool shown;
        bool copy;
        uint32_t first;
        uint32_t count;
    };
    // What the frame knows of one image slot, found out on first use.
    struct Slot {
        bool known;
        bool hides;
        bool kept; // its pixels are kept for exact clipping
        int w, h;
    };

    Slot& SlotOf(int image);
    bool Covers(const Object& o, const FieldRect& rect);
    void LeaveOutHidden(SDL_Renderer* renderer);

    std::vector<Entry> order_;
    std::vector<Rect> parts_;
    std::vector<Rect> pieces_;
    std::vector<Rect> next_;
    size_t first_ = 0;
    bool clearHidden_ = false;
    Slot slots_[Spritenumber] = {};
};
