#include "input/kcode.h"

#include "world/globals.h"

void EnterKCode(int) {}
void KCode() {}
