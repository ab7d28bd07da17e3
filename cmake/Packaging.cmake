# Installation and packages.
#
# `cmake --install <build> --prefix <dir>` puts the program, its media, the
# list files, the font and the licence notes into <dir>, a folder that runs
# as it is (the game reads everything from its working directory).
#
# CPack makes:
#   - a .tar.gz of that folder;
#   - a .deb in Debian's layout for games: the launcher /usr/games/vorlune,
#     the program /usr/lib/games/vorlune/vorlune, the shared data in
#     /usr/share/games/vorlune (the font a link into fonts-yanone-kaffeesatz), the
#     desktop entry, icons, AppStream metadata, manual page, copyright and
#     changelog under /usr/share. The launcher runs the game in a folder of
#     the player's own, ${XDG_DATA_HOME:-~/.local/share}/vorlune, where the
#     game writes Settings.txt and Scores.txt; the shared files are linked
#     there.
include(GNUInstallDirs)

# The font is shipped as NegativeSpace.ttf; say so early when it is missing
# (on Windows there is no system path to default to).
if(NOT EXISTS "${VORLUNE_FONT}")
  message(FATAL_ERROR "VORLUNE_FONT is '${VORLUNE_FONT}', which does not exist: pass "
    "-DVORLUNE_FONT=<path of YanoneKaffeesatz-Regular.otf> (Debian: fonts-yanone-kaffeesatz)")
endif()

set(VORLUNE_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/packaging)

if(MINGW AND CMAKE_HOST_WIN32 AND NOT CMAKE_VERSION VERSION_LESS 3.21)
  # vcpkg copies the DLLs beside the program at build time (MSVC); with
  # MinGW-w64 (MSYS2) the SDL and compiler runtime DLLs are gathered here, so
  # the installed folder also runs outside the MSYS2 shell.
  get_filename_component(VORLUNE_COMPILER_BIN ${CMAKE_CXX_COMPILER} DIRECTORY)
  install(TARGETS vorlune RUNTIME_DEPENDENCY_SET vorlune_dlls RUNTIME DESTINATION . COMPONENT game)
  install(RUNTIME_DEPENDENCY_SET vorlune_dlls DESTINATION . COMPONENT game
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
    POST_EXCLUDE_REGEXES ".*[Ss]ystem32/.*"
    DIRECTORIES ${VORLUNE_DLL_DIRS} ${VORLUNE_COMPILER_BIN} $ENV{PATH})
elseif(MINGW)
  # Cross build: the DLLs the program imports, and theirs, are looked up in
  # the libraries' and the compiler's folders; what is not found there is
  # Windows' own. Each is installed under its real name (the folders may
  # hold lower-case links, which is how the imports are matched).
  install(TARGETS vorlune RUNTIME DESTINATION . COMPONENT game)
  install(CODE "
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${CMAKE_OBJDUMP}\")
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES \"$<TARGET_FILE:vorlune>\"
      DIRECTORIES ${VORLUNE_DLL_DIRS}
      PRE_EXCLUDE_REGEXES \"^api-ms-\" \"^ext-ms-\"
      RESOLVED_DEPENDENCIES_VAR found UNRESOLVED_DEPENDENCIES_VAR windows_own)
    list(SORT windows_own)
    message(STATUS \"Left to Windows: \${windows_own}\")
    foreach(dll \${found})
      get_filename_component(real \"\${dll}\" REALPATH)
      get_filename_component(name \"\${real}\" NAME)
      file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}\" TYPE SHARED_LIBRARY FILES \"\${real}\")
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${CMAKE_INSTALL_PREFIX}/\${name}\")
      endif()
    endforeach()
    " COMPONENT game)
else()
  install(TARGETS vorlune RUNTIME DESTINATION . COMPONENT game)
endif()
if(WIN32)
  install(FILES ${VORLUNE_PLAYER_README} DESTINATION . COMPONENT game)
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

# The Debian layout belongs to the .deb only (component "debian", installed
# under /usr); a plain `cmake --install` never writes outside its prefix.
if(UNIX AND NOT APPLE)
  set(VORLUNE_APP_ID io.github.vorlune.vorlune)
  set(VORLUNE_HOMEPAGE https://github.com/vorlune/vorlune)
  set(VORLUNE_SCREENSHOT_URL https://raw.githubusercontent.com/vorlune/vorlune/main/docs/screenshots)
  set(VORLUNE_MAINTAINER "${VORLUNE_COPYRIGHT_HOLDER} <vorlune@example.org>")
  set(VORLUNE_DEBIAN_DIR ${CMAKE_BINARY_DIR}/debian)
  set(VORLUNE_METAINFO ${VORLUNE_DEBIAN_DIR}/${VORLUNE_APP_ID}.metainfo.xml)

  # Version, release date and copyright line come from cmake/Identity.cmake.
  configure_file(${VORLUNE_PACKAGE_DIR}/linux/vorlune.metainfo.xml.in ${VORLUNE_METAINFO} @ONLY)
  configure_file(${VORLUNE_PACKAGE_DIR}/linux/vorlune.6 ${VORLUNE_DEBIAN_DIR}/vorlune.6 @ONLY)
  configure_file(${VORLUNE_PACKAGE_DIR}/linux/changelog.in ${VORLUNE_DEBIAN_DIR}/changelog @ONLY)
  # The copyright file repeats LICENSE's terms in Debian's layout: each line
  # indented by one space, an empty line written as " .".
  string(STRIP "${VORLUNE_LICENSE_TEXT}" licence)
  string(REGEX REPLACE "\n\n+" "\n\n" licence "${licence}")
  string(REPLACE "\n" "\n " VORLUNE_LICENSE_DEP5 " ${licence}")
  string(REGEX REPLACE "\n \n" "\n .\n" VORLUNE_LICENSE_DEP5 "${VORLUNE_LICENSE_DEP5}")
  configure_file(${VORLUNE_PACKAGE_DIR}/linux/copyright.in ${VORLUNE_DEBIAN_DIR}/copyright @ONLY)
  # Debian wants both compressed at the highest level, without a time stamp.
  add_custom_command(
    OUTPUT ${VORLUNE_DEBIAN_DIR}/vorlune.6.gz ${VORLUNE_DEBIAN_DIR}/changelog.gz
    COMMAND gzip -9nf -k vorlune.6 changelog
    WORKING_DIRECTORY ${VORLUNE_DEBIAN_DIR}
    DEPENDS ${VORLUNE_DEBIAN_DIR}/vorlune.6 ${VORLUNE_DEBIAN_DIR}/changelog
    COMMENT "Compressing the manual page and the changelog")
  add_custom_target(vorlune_debian_docs ALL
    DEPENDS ${VORLUNE_DEBIAN_DIR}/vorlune.6.gz ${VORLUNE_DEBIAN_DIR}/changelog.gz)
  # The font is the system's, linked from the shared data; the licence notes
  # live with the documentation and are linked there too (the game's credits
  # point to the "licenses" folder beside it). Links within /usr are relative.
  file(RELATIVE_PATH font_link /usr/share/games/vorlune ${VORLUNE_FONT})
  if(font_link MATCHES "^\\.\\./\\.\\./\\.\\./\\.\\./")
    set(font_link ${VORLUNE_FONT}) # not under /usr
  endif()
  file(CREATE_LINK ${font_link} ${VORLUNE_DEBIAN_DIR}/NegativeSpace.ttf SYMBOLIC)
  file(CREATE_LINK ../../doc/vorlune/licenses ${VORLUNE_DEBIAN_DIR}/licenses SYMBOLIC)

  # Built as Debian builds its packages: fortified functions, read-only
  # relocations bound at start.
  if(VORLUNE_SANITIZE STREQUAL "")
    foreach(target vorlune_core vorlune)
      target_compile_options(${target} PRIVATE
        "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    endforeach()
    target_link_options(vorlune PRIVATE -Wl,-z,relro,-z,now)
  endif()

  install(TARGETS vorlune RUNTIME DESTINATION lib/games/vorlune COMPONENT debian EXCLUDE_FROM_ALL)
  # Stripped like Debian's own packages: without the compilers' notes.
  install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/games/vorlune/vorlune\")"
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(DIRECTORY ${VORLUNE_RUN_DIR}/ DESTINATION share/games/vorlune
    COMPONENT debian EXCLUDE_FROM_ALL
    PATTERN media.stamp EXCLUDE
    PATTERN Settings.txt EXCLUDE
    PATTERN Scores.txt EXCLUDE
    PATTERN "*.tmp" EXCLUDE
    PATTERN vorlune EXCLUDE
    PATTERN NegativeSpace.ttf EXCLUDE
    PATTERN licenses EXCLUDE)
  install(FILES ${VORLUNE_DEBIAN_DIR}/NegativeSpace.ttf ${VORLUNE_DEBIAN_DIR}/licenses
    DESTINATION share/games/vorlune COMPONENT debian EXCLUDE_FROM_ALL)
  install(DIRECTORY ${VORLUNE_RUN_DIR}/licenses DESTINATION share/doc/vorlune
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_PACKAGE_DIR}/linux/lintian-overrides DESTINATION share/lintian/overrides
    RENAME vorlune COMPONENT debian EXCLUDE_FROM_ALL)
  install(PROGRAMS ${VORLUNE_PACKAGE_DIR}/linux/vorlune-launcher.sh
    DESTINATION games RENAME vorlune COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_PACKAGE_DIR}/linux/vorlune.desktop
    DESTINATION share/applications COMPONENT debian EXCLUDE_FROM_ALL)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${VORLUNE_ICON_DIR}/vorlune-${size}.png
      DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vorlune.png
      COMPONENT debian EXCLUDE_FROM_ALL)
  endforeach()
  install(FILES ${VORLUNE_ICON_DIR}/vorlune.svg DESTINATION share/icons/hicolor/scalable/apps
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_METAINFO} DESTINATION share/metainfo COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_DEBIAN_DIR}/vorlune.6.gz DESTINATION share/man/man6
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${VORLUNE_DEBIAN_DIR}/copyright ${VORLUNE_DEBIAN_DIR}/changelog.gz
    DESTINATION share/doc/vorlune COMPONENT debian EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME vorlune)
set(CPACK_PACKAGE_VENDOR "${VORLUNE_COPYRIGHT_HOLDER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small 2-D arcade shooter: shoot the growing squares before the screen turns red")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(VORLUNE_MAINTAINER)
  set(CPACK_PACKAGE_CONTACT "${VORLUNE_MAINTAINER}")
else()
  set(CPACK_PACKAGE_CONTACT "${VORLUNE_COPYRIGHT_HOLDER}")
endif()
set(CPACK_PACKAGE_INSTALL_DIRECTORY vorlune)
set(CPACK_STRIP_FILES ON)
# The source release, vorlune-<version>.tar.gz: `cmake --build <build>
# --target package_source` packs exactly the files git tracks, as they are in
# the work tree (CPackGenerators.cmake.in gathers them; CPack itself would
# pack the whole source folder, untracked files included, and its ignore
# patterns would be matched against absolute paths).
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME vorlune-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES "")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME vorlune-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME vorlune-${PROJECT_VERSION}-win32)
  endif()
else()
  set(CPACK_GENERATOR "TGZ;DEB")
endif()

# Debian package: one package holding the "debian" component.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME vorlune)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libsdl2-2.0-0, libsdl2-image-2.0-0, libsdl2-ttf-2.0-0, libsdl2-mixer-2.0-0, libstdc++6, libc6, fonts-yanone-kaffeesatz")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VORLUNE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Squares appear as points and grow; shoot them with two crosshairs before
they darken and turn the background red. Played with a game controller or
the keyboard. Settings and scores are kept in ~/.local/share/vorlune.")

# Which components each generator packs: the archive is the portable folder,
# the .deb the Debian layout.
configure_file(${CMAKE_SOURCE_DIR}/cmake/CPackGenerators.cmake.in
  ${CMAKE_BINARY_DIR}/CPackGenerators.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackGenerators.cmake)

include(CPack)
