// Entry point of vorlune. The program takes no arguments.
#include <SDL.h>

#include "world/startup.h"

int main(int argc, char* argv[])
{
    (void)argc;
    (void)argv;
    return RunVorlune();
}
