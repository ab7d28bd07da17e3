/* Test helper for sanitizer runs of the real program, never part of the game:
 * preloaded, it makes dlclose keep every shared library loaded until the
 * process ends. The media layer and the GL driver unload some of their
 * libraries before exit; LeakSanitizer could then not tell in which library
 * an allocation it reports was made, and no report could be read or matched
 * by a suppression. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
