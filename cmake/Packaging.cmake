# Installation and packages.
#
# `cmake --install <build> --prefix <dir>` puts the program, its media, the
# list files, the font and the licence notes into <dir>, a folder that runs
# as it is (the game reads everything from its working directory).
#
# CPack makes:
#   - a .tar.gz of that folder;
#   - a .deb that installs the folder read-only under /opt/vorlune, with a
#     launcher /usr/games/vorlune and a desktop entry. The launcher runs the
#     game in a folder of the user's own, ${XDG_DATA_HOME:-~/.local/share}/vorlune,
#     where the game writes Settings.txt and Scores.txt; the read-only files
#     are linked there from /opt/vorlune.
include(GNUInstallDirs)

# The font is shipped as NegativeSpace.ttf; say so early when it is missing
# (on Windows there is no system path to default to).
if(NOT EXISTS "${VORLUNE_FONT}")
  message(FATAL_ERROR "VORLUNE_FONT is '${VORLUNE_FONT}', which does not exist: pass "
    "-DVORLUNE_FONT=<path of YanoneKaffeesatz-Regular.otf> (Debian: fonts-yanone-kaffeesatz)")
endif()

set(VORLUNE_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/packaging)

if(MINGW AND NOT CMAKE_VERSION VERSION_LESS 3.21)
  # vcpkg copies the DLLs beside the program at build time (MSVC); with
  # MinGW-w64 (MSYS2) the SDL and compiler runtime DLLs are gathered here, so
  # the installed folder also runs outside the MSYS2 shell.
  get_filename_component(VORLUNE_COMPILER_BIN ${CMAKE_CXX_COMPILER} DIRECTORY)
  install(TARGETS vorlune RUNTIME_DEPENDENCY_SET vorlune_dlls RUNTIME DESTINATION . COMPONENT game)
  install(RUNTIME_DEPENDENCY_SET vorlune_dlls DESTINATION . COMPONENT game
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
    POST_EXCLUDE_REGEXES ".*[Ss]ystem32/.*"
    DIRECTORIES ${VORLUNE_COMPILER_BIN} $ENV{PATH})
else()
  install(TARGETS vorlune RUNTIME DESTINATION . COMPONENT game)
endif()
# Everything the build put beside the program, except the files the game
# writes while it runs and the build's own stamp.
install(DIRECTORY ${VORLUNE_RUN_DIR}/ DESTINATION . COMPONENT game
  USE_SOURCE_PERMISSIONS
  PATTERN media.stamp EXCLUDE
  PATTERN Settings.txt EXCLUDE
  PATTERN Scores.txt EXCLUDE
  PATTERN "*.tmp" EXCLUDE
  PATTERN vorlune EXCLUDE
  PATTERN vorlune.exe EXCLUDE
  PATTERN "*.pdb" EXCLUDE)

# The launcher and desktop entry belong to the system-wide .deb only; a plain
# `cmake --install` never writes outside its prefix.
if(UNIX AND NOT APPLE)
  install(PROGRAMS ${VORLUNE_PACKAGE_DIR}/linux/vorlune-launcher.sh
    DESTINATION /usr/games RENAME vorlune COMPONENT launcher EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_PACKAGE_DIR}/linux/vorlune.desktop
    DESTINATION /usr/share/applications COMPONENT launcher EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME vorlune)
set(CPACK_PACKAGE_VENDOR "The vorlune developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small 2-D arcade shooter: shoot the growing squares before the screen turns red")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "vorlune developers <vorlune@localhost>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vorlune)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR "TGZ;DEB")
endif()

# Debian package: one package holding both components.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME vorlune)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libsdl2-2.0-0, libsdl2-image-2.0-0, libsdl2-ttf-2.0-0, libsdl2-mixer-2.0-0, libstdc++6, libc6")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Squares appear as points and grow; shoot them with two crosshairs before
they darken and turn the background red. Played with a game controller or
the keyboard. Settings and scores are kept in ~/.local/share/vorlune.")

# Which components each generator packs: the archive is the portable folder,
# the .deb adds the launcher.
configure_file(${CMAKE_SOURCE_DIR}/cmake/CPackGenerators.cmake.in
  ${CMAKE_BINARY_DIR}/CPackGenerators.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackGenerators.cmake)

include(CPack)
