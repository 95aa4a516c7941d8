# Running the Windows executables of this build under Wine.
#
# Each build tree has its own Wine prefix (created here at configure time), and
# CTest runs every test executable through Wine's loader as the
# cross-compiling emulator.  A `wine.start` fixture keeps one wineserver alive
# for the whole run: without it every test pays for starting a server of its
# own.
#
# The architecture decides the loader, the server and the prefix:
#   32-bit build: /usr/lib/wine/wine, a win32 prefix
#   64-bit build: /usr/lib/wine/wine64, a win64 prefix
# /usr/bin/wine cannot be used for the 64-bit build: it picks the 32-bit
# loader whenever that file exists, also on hosts whose kernel runs no 32-bit
# program.  WINELOADER names the loader for the programs Wine starts itself,
# WINESERVER the server; both are in the environment of every test.
#
# Building needs no Wine: where this build's Wine is missing or cannot run
# (the 32-bit Wine on a host whose kernel runs no 32-bit program, though it
# installs there), everything is still built, WINE_RUNS is false, configure
# says why in one line, and the tests that need Wine are not registered.
# VESLINN_PROBE_NO_32BIT=1 in the environment makes a host that runs 32-bit
# programs act as one that does not, as it does for the scripts.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH win64)
  set(wine_words "64-bit Wine")
  find_program(WINE_PROGRAM wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(WINESERVER_PROGRAM wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  set(WINE_ARCH win32)
  set(wine_words "32-bit Wine")
  find_program(WINE_PROGRAM wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  # Either server serves 32-bit programs.
  find_program(WINESERVER_PROGRAM NAMES wineserver64 wineserver32 PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()

set(WINE_RUNS FALSE)
if(NOT WINE_PROGRAM OR NOT WINESERVER_PROGRAM)
  set(wine_not_running "the ${wine_words} is not installed (scripts/setup.sh installs it)")
elseif(WINE_ARCH STREQUAL "win32" AND NOT "$ENV{VESLINN_PROBE_NO_32BIT}" STREQUAL "")
  set(wine_not_running "VESLINN_PROBE_NO_32BIT is set: this host acts as one that runs no 32-bit program")
else()
  # The loader itself tells: on a host without 32-bit support it fails with
  # "Exec format error" before it reads any prefix.
  execute_process(COMMAND "${WINE_PROGRAM}" --version RESULT_VARIABLE wine_version_result
                  OUTPUT_QUIET ERROR_QUIET)
  if(wine_version_result STREQUAL "0")
    set(WINE_RUNS TRUE)
  else()
    set(wine_not_running
        "the ${wine_words} does not run on this host (${WINE_PROGRAM} --version gave ${wine_version_result})")
  endif()
endif()
if(NOT WINE_RUNS)
  message(STATUS "Tests needing Wine are not registered: ${wine_not_running}")
  return()
endif()

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build tree")
# The shared Wine environment (cmake/wine.env), and this build's own part.
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/wine.env" WINE_ENVIRONMENT REGEX "^[A-Z_]+=")
# Wine's Recycle Bin is the XDG trash under XDG_DATA_HOME: the build keeps
# its own, so that the notes the tests erase stay out of the user's.
list(PREPEND WINE_ENVIRONMENT "WINEPREFIX=${WINE_PREFIX}" "WINEARCH=${WINE_ARCH}"
     "WINELOADER=${WINE_PROGRAM}" "WINESERVER=${WINESERVER_PROGRAM}"
     "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/xdg-data")
set(CMAKE_CROSSCOMPILING_EMULATOR env ${WINE_ENVIRONMENT} ${WINE_PROGRAM})
# The same environment for the scripts, which source it.
list(JOIN WINE_ENVIRONMENT "\n" wine_environment_lines)
file(WRITE "${CMAKE_BINARY_DIR}/wine.env" "${wine_environment_lines}\n")

if(NOT EXISTS "${WINE_PREFIX}/system.reg")
  message(STATUS "Creating the Wine prefix ${WINE_PREFIX}")
  execute_process(COMMAND env ${WINE_ENVIRONMENT} sh "${CMAKE_SOURCE_DIR}/scripts/make_wine_prefix.sh"
                  OUTPUT_QUIET ERROR_QUIET)
  # The refusal test starts a copy of a program under this name: Wine reports
  # a Windows 98 platform to it and to nothing else.
  execute_process(COMMAND env ${WINE_ENVIRONMENT} ${WINE_PROGRAM} reg add
                          "HKCU\\Software\\Wine\\AppDefaults\\veslinn_win98.exe" /v Version /d win98 /f
                  OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND env ${WINE_ENVIRONMENT} ${WINESERVER_PROGRAM} -w)
endif()

function(require_wine_fixture)
  set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine
                       ENVIRONMENT "${WINE_ENVIRONMENT}")
endfunction()
