#include "world/object.h"

#include "world/globals.h"

int TruncToInt(double v) { return static_cast<int>(v); }
Object::Object() : Image(0), X(0), Y(0), FrameW(0), FrameH(0), W(0), H(0), Grow(0), Frame(0), LastFrame(0), FrameTick(0), Layer(3), FrameDelay(0), Spin(0), Angle(0), Direction(0), Speed(0), AgeTimer(0), Shootable(false), LifeTimer(0), Box(0), Flip(0) {}
void Object::Framing() {}
void Object::Move() {}
void Object::RoZo() {}
int Object::Perish() { return 0; }
void Object::Draw(SDL_Renderer*, TextBox*) {}
ObjectStack::ObjectStack() : Count(0) {}
void ObjectStack::Create(Object o) { if (Count < stacksize - 1) Slots[++Count] = o; }
void ObjectStack::Delete(int) {}
void ObjectStack::Man() {}
void ObjectStack::Rend(SDL_Renderer*, TextBox*) {}
void ObjectStack::Clear() { Count = 0; }
void ObjectStack::CopyFrom(const ObjectStack& from) { Count = from.Count; for (int i = 0; i <= Count; ++i) Slots[i] = from.Slots[i]; }
Player::Player() : StickA(0), StickB(0), PadMap{}, KeyFlags{}, KeyLatch{} {}
