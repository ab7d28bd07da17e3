# The release's identity, each part set in one place:
#   - the version: project() in CMakeLists.txt;
#   - the release date: VORLUNE_RELEASE_DATE in CMakeLists.txt (YYYY-MM-DD);
#   - the copyright line: LICENSE ("Copyright (c) <years> <holder>").
# Everything that names them (packages, manual page, changelog, AppStream
# metadata, the Windows program's version information, README.txt of the
# Windows zip) is configured from the variables set here:
#   VORLUNE_COPYRIGHT_YEARS, VORLUNE_COPYRIGHT_HOLDER, VORLUNE_COPYRIGHT
#   VORLUNE_LICENSE_TEXT          LICENSE after its copyright line
#   VORLUNE_RELEASE_DATE_RFC2822  the date as Debian's changelog writes it

set(VORLUNE_LICENSE_FILE ${CMAKE_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VORLUNE_LICENSE_FILE})
file(STRINGS ${VORLUNE_LICENSE_FILE} copyright_lines REGEX "^Copyright ")
list(LENGTH copyright_lines count)
if(NOT count EQUAL 1 OR NOT copyright_lines MATCHES "^Copyright \\(c\\) ([0-9][0-9, -]*[0-9]) ([^ ].*[^ ])$")
  message(FATAL_ERROR "LICENSE must hold one line 'Copyright (c) <years> <holder>', not: ${copyright_lines}")
endif()
set(VORLUNE_COPYRIGHT_YEARS "${CMAKE_MATCH_1}")
set(VORLUNE_COPYRIGHT_HOLDER "${CMAKE_MATCH_2}")
set(VORLUNE_COPYRIGHT "Copyright (c) ${VORLUNE_COPYRIGHT_YEARS} ${VORLUNE_COPYRIGHT_HOLDER}")
file(READ ${VORLUNE_LICENSE_FILE} licence)
string(REGEX REPLACE "^(.*\n)?Copyright [^\n]*\n\n" "" VORLUNE_LICENSE_TEXT "${licence}")

if(NOT VORLUNE_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "VORLUNE_RELEASE_DATE must be YYYY-MM-DD, not '${VORLUNE_RELEASE_DATE}'")
endif()
set(year ${CMAKE_MATCH_1})
math(EXPR month "1${CMAKE_MATCH_2} - 100")
math(EXPR day "1${CMAKE_MATCH_3} - 100")
# Day of the week (0 = Sunday), by Sakamoto's method.
set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR index "${month} - 1")
list(GET offsets ${index} offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekdays ${weekday} weekday_name)
list(GET months ${index} month_name)
set(VORLUNE_RELEASE_DATE_RFC2822 "${weekday_name}, ${CMAKE_MATCH_3} ${month_name} ${year} 12:00:00 +0000")
