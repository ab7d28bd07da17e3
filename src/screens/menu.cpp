#include "screens/menu.h"

#include "world/globals.h"

void IniMenu(bool) {}
