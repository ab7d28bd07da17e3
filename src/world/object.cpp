#include "world/object.h"

#include "render/clipping.h"
#include "screens/tutorial.h"
#include "world/globals.h"

#include <climits>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

int TruncToInt(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (v <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

int64_t TruncToInt64(double v)
{
    // 2^61: a position and a size added stay far inside 64 bits.
    constexpr double limit = 2305843009213693952.0;
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= limit) {
        return INT64_C(2305843009213693952);
    }
    if (v <= -limit) {
        return -INT64_C(2305843009213693952);
    }
    return static_cast<int64_t>(v);
}

Object::Object()
    : Image(0), X(0), Y(0), FrameW(0), FrameH(0), W(0), H(0), Grow(0), Frame(0), LastFrame(0),
      FrameTick(0), Layer(3), FrameDelay(0), Spin(0), Angle(0), Direction(0), Speed(0), AgeTimer(0),
      Shootable(false), LifeTimer(0), Box(0), Flip(0)
{
}

void Object::Framing()
{
    if (LastFrame <= 0) {
        return;
    }
    // A fractional delay never equals the tick count: such an object keeps
    // its first frame.
    if (static_cast<float>(FrameTick) == FrameDelay) {
        ++Frame;
        FrameTick = 0;
        if (Frame > LastFrame) {
            Frame = 0;
        }
    } else {
        ++FrameTick;
    }
}

void Object::Move()
{
    if (Speed == 0) {
        return;
    }
    const float a = static_cast<float>(Direction * kPi / 180.0);
    X += std::cos(a) * Speed;
    Y += std::sin(a) * Speed;
}

void Object::RoZo()
{
    if (Spin != 0) {
        Angle += Spin;
    }
    if (Grow == 0) {
        return;
    }
    const float f = High / 100 + Grow;
    const float newW = W * f;
    const float newH = H * f;
    // Grow about the centre.
    X -= (newW - W) / 2;
    Y -= (newH - H) / 2;
    W = newW;
    H = newH;
    if (W > 50 && Tutorial) {
        ShowTutorial(2);
    }
}

int Object::Perish()
{
    if (AgeTimer > 0) {
        --AgeTimer;
        if (AgeTimer == 1) {
            // Darkened first, so one call moves a square on by one stage only.
            if (Image == 3) {
                Image = 4;
                g -= 30;
                b -= 30;
                if (Tutorial) {
                    ShowTutorial(4);
                }
                ++Counter;
                High = High / (1 + Divi);
                Divi = static_cast<float>(static_cast<double>(Divi) * 0.995);
                Grow = 0;
            }
            if (Image == 2) {
                Image = 3;
                if (Tutorial) {
                    ShowTutorial(3);
                }
                g -= 15;
                b -= 15;
                AgeTimer = TruncToInt(static_cast<float>(rand() % 1000 + 1000) / (1 + High));
            }
            if (g <= 0) {
                EndGame = true;
            }
        }
    }
    if (LifeTimer > 0) {
        --LifeTimer;
        if (LifeTimer == 0) {
            Box = 0;
            return -1;
        }
    }
    return 0;
}

FieldRect Object::DrawnRect() const
{
    return FieldRect{TruncToInt64(X), TruncToInt64(Y), TruncToInt64(W), TruncToInt64(H)};
}

void Object::Draw(SDL_Renderer* renderer, TextBox* boxes)
{
    if (renderer == nullptr) {
        return;
    }
    const SDL_Rect src{Frame * FrameW, 0, FrameW, FrameH};
    SDL_Texture* texture = (Image >= 0 && Image < Spritenumber) ? Images[Image] : nullptr;
    if (texture != nullptr) {
        // X, Y, W and H truncated in 64 bits: the copy is cut to what shows
        // before anything is narrowed to SDL's int rectangle.
        const FieldRect drawn = DrawnRect();
        CopyInsideTarget(renderer, texture, src, CopyRect{drawn.x, drawn.y, drawn.w, drawn.h},
                         static_cast<double>(Angle), static_cast<SDL_RendererFlip>(Flip));
    }
    if (Box > 0 && Box < Boxnumber) {
        TextBox& box = (boxes != nullptr) ? boxes[Box] : Boxes[Box];
        box.CalcMe();
        if (box.Texture == nullptr) {
            return;
        }
        int w = 0;
        int h = 0;
        if (SDL_QueryTexture(box.Texture, nullptr, nullptr, &w, &h) != 0) {
            return;
        }
        const SDL_Rect textSrc{0, 0, w, h};
        const CopyRect textDst{TruncToInt64(X), TruncToInt64(Y), w, h};
        CopyInsideTarget(renderer, box.Texture, textSrc, textDst, static_cast<double>(Angle),
                         SDL_FLIP_NONE);
    }
}

ObjectStack::ObjectStack() : Count(0) {}

void ObjectStack::Create(Object o)
{
    // Slot 0 is the sentinel, so a full pool holds stacksize - 1 objects;
    // further requests are dropped.
    if (Count >= stacksize - 1) {
        return;
    }
    ++Count;
    Slots[Count] = o;
}

void ObjectStack::Delete(int i)
{
    if (i < 1 || i > Count) {
        return;
    }
    for (int j = i; j < Count; ++j) {
        Slots[j] = Slots[j + 1];
    }
    --Count;
}

void ObjectStack::Man()
{
    for (int i = 0; i <= Count; ++i) {
        Object& o = Slots[i];
        o.Framing();
        o.Move();
        o.RoZo();
        if (o.Perish() == -1) {
            Delete(i);
        }
        if (i > Count) {
            continue;
        }
        // The slot may now hold the object that moved down into it.
        const Object& now = Slots[i];
        const float cx = now.X + now.W / 2;
        const float cy = now.Y + now.H / 2;
        if (cx < 0 || cx > 1920 || cy < 0 || cy > 1050) {
            if (now.Image == 3) {
                g += 15;
                b += 15;
            } else if (now.Image == 4) {
                g += 45;
                b += 45;
                --Counter;
            }
            Delete(i);
        }
    }
}

void ObjectStack::Rend(SDL_Renderer* renderer, TextBox* boxes)
{
    for (int layer = 0; layer <= 5; ++layer) {
        for (int i = 0; i <= Count; ++i) {
            if (Slots[i].Layer == layer) {
                Slots[i].Draw(renderer, boxes);
            }
        }
    }
}

void ObjectStack::Clear()
{
    Object zero;
    zero.Layer = 0;
    for (Object& o : Slots) {
        o = zero;
    }
    Count = 0;
}

void ObjectStack::CopyFrom(const ObjectStack& from)
{
    Count = from.Count;
    for (int i = 0; i <= Count; ++i) {
        Slots[i] = from.Slots[i];
    }
}

Player::Player() : StickA(0), StickB(0), PadMap{}, KeyFlags{}, KeyLatch{} {}
