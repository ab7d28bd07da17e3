// Objects and the fixed object pools.
#pragma once

#include <cstdint>

struct SDL_Renderer;
class TextBox;

constexpr int stacksize = 3000;

// Truncates toward zero like a plain cast, but saturates values outside the
// int range (and maps NaN to 0): squares left alone grow far past it.
int TruncToInt(double v);

// Where an object's picture is drawn, in field pixels: X, Y, W and H each
// truncated toward zero, in 64 bits so that a square far past the int range
// still lies where the state says (values beyond +-2^61 are held there, NaN
// is 0). The right edge is x + w, the bottom y + h.
struct FieldRect {
    int64_t x;
    int64_t y;
    int64_t w;
    int64_t h;
};
int64_t TruncToInt64(double v);

class Object {
  public:
    int32_t Image;
    float X;
    float Y;
    int32_t FrameW;
    int32_t FrameH;
    float W;
    float H;
    float Grow;
    int32_t Frame;
    int32_t LastFrame;
    int32_t FrameTick;
    int32_t Layer;
    float FrameDelay;
    float Spin;
    float Angle;
    float Direction;
    float Speed;
    int32_t AgeTimer;
    bool Shootable;
    int32_t LifeTimer;
    int32_t Box;
    int32_t Flip;

    Object();
    void Framing();
    void Move();
    void RoZo();
    int Perish();
    FieldRect DrawnRect() const;
    // Draws the object's image and, if it shows a text box, that box taken
    // from `boxes` (the global Boxes when null).
    void Draw(SDL_Renderer* renderer, TextBox* boxes = nullptr);
};

class ObjectStack {
  public:
    Object Slots[stacksize];
    int32_t Count;

    ObjectStack();
    void Create(Object o);
    void Delete(int i);
    void Man();
    void Rend(SDL_Renderer* renderer, TextBox* boxes = nullptr);
    void Clear();
    void Shoot(int x, int y);
    // Copies the occupied slots (and the sentinel) of `from`; used for the
    // graphics thread's frame snapshot.
    void CopyFrom(const ObjectStack& from);
};

class Player {
  public:
    float StickA;
    float StickB;
    int32_t PadMap[15];
    bool KeyFlags[13];
    bool KeyLatch[13];

    Player();
};
