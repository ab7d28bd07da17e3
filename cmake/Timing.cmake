# Timing builds: the logic and graphics threads record their periods and the
# program prints them (see src/platform/timing.h). Off for shipped builds.
option(VORLUNE_TIMING "Measure and print loop periods and the time to the first frame" OFF)
if(VORLUNE_TIMING)
  target_compile_definitions(vorlune_core PUBLIC VORLUNE_TIMING)
endif()
