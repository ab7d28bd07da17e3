#include "world/globals.h"

void ObjectStack::Shoot(int, int) {}
