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

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH win64)
  find_program(WINE_PROGRAM wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  find_program(WINESERVER_PROGRAM wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
else()
  set(WINE_ARCH win32)
  find_program(WINE_PROGRAM wine PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  # Either server serves 32-bit programs.
  find_program(WINESERVER_PROGRAM NAMES wineserver64 wineserver32 PATHS /usr/lib/wine NO_DEFAULT_PATH
               REQUIRED)
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
