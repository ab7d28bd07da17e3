# Runs the media generator into a scratch directory and checks that every
# file it writes equals the one the build put into the run directory: the
# generator must give the same bytes on every run.
#   cmake -DGEN=<vorlune_mediagen> -DRUN=<run dir> -DSCRATCH=<dir> [-DEMULATOR=<a|b|c>]
#         -P compare_media.cmake
# EMULATOR is the command a cross build runs its programs with, its words
# separated by '|'.
file(REMOVE_RECURSE "${SCRATCH}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${GEN}" "${SCRATCH}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "media generator failed with ${rc}")
endif()
file(GLOB_RECURSE files RELATIVE "${SCRATCH}" "${SCRATCH}/*")
list(LENGTH files count)
if(count LESS 9)
  message(FATAL_ERROR "media generator wrote only ${count} files")
endif()
set(differ "")
foreach(f ${files})
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${f}" "${RUN}/${f}"
                  RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    list(APPEND differ "${f}")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
if(differ)
  message(FATAL_ERROR "generated media differ between two runs: ${differ}")
endif()
message(STATUS "${count} generated files are identical")
