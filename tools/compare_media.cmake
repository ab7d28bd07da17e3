# Runs the media generator into a scratch directory and checks that every
# file it writes equals the one the build put into the run directory or the
# icon directory: the generator must give the same bytes on every run.
#   cmake -DGEN=<vorlune_mediagen> -DRUN=<run dir> -DICONS=<icon dir> -DSCRATCH=<dir>
#         [-DEMULATOR=<a|b|c>] -P compare_media.cmake
# EMULATOR is the command a cross build runs its programs with, its words
# separated by '|'.
file(REMOVE_RECURSE "${SCRATCH}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${GEN}" "${SCRATCH}/run" "${SCRATCH}/icons" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "media generator failed with ${rc}")
endif()
set(differ "")
set(total 0)
# <scratch subdir> <build dir> <fewest files expected>
foreach(set "run;${RUN};10" "icons;${ICONS};8")
  list(GET set 0 sub)
  list(GET set 1 built)
  list(GET set 2 least)
  file(GLOB_RECURSE files RELATIVE "${SCRATCH}/${sub}" "${SCRATCH}/${sub}/*")
  list(LENGTH files count)
  if(count LESS least)
    message(FATAL_ERROR "media generator wrote only ${count} files into ${sub}")
  endif()
  math(EXPR total "${total} + ${count}")
  foreach(f ${files})
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${sub}/${f}" "${built}/${f}"
                    RESULT_VARIABLE same)
    if(NOT same EQUAL 0)
      list(APPEND differ "${sub}/${f}")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
if(differ)
  message(FATAL_ERROR "generated files differ between two runs: ${differ}")
endif()
message(STATUS "${total} generated files are identical")
