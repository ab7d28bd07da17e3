/* <fcntl.h> of MSVC holds only the flags of its own _open: file descriptors are not
   portable. Part of the strict Windows check (scripts/windows-check.sh). */
#error "<fcntl.h> file descriptors break the Windows build; use file streams"
