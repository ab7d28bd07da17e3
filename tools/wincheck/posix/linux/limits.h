/* POSIX-only header: MSVC has no <linux/limits.h>. Part of the strict Windows check
   (scripts/windows-check.sh); use the C++ standard library or SDL instead. */
#error "<linux/limits.h> is POSIX-only and breaks the Windows build; use the standard library or SDL"
