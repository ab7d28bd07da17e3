// Entry point of vorlune. The program takes no arguments.
#include "world/startup.h"

#include <SDL.h>

int main(int argc, char* argv[])
{
    (void)argc;
    (void)argv;
    return RunVorlune();
}
