# Running the Windows executables of this build under Wine.
#
# Each build tree has its own Wine prefix (created here at configure time), and
# CTest runs every test executable through `wine` as the cross-compiling
# emulator.  A `wine.start` fixture keeps one wineserver alive for the whole
# run: without it every test pays for starting a server of its own.

find_program(WINE_PROGRAM wine REQUIRED)
find_program(WINESERVER_PROGRAM NAMES wineserver PATHS /usr/lib/wine /usr/lib/i386-linux-gnu/wine REQUIRED)

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build tree")
# The shared Wine environment (cmake/wine.env, also sourced by the scripts).
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/wine.env" WINE_ENVIRONMENT REGEX "^[A-Z_]+=")
list(PREPEND WINE_ENVIRONMENT "WINEPREFIX=${WINE_PREFIX}")
set(CMAKE_CROSSCOMPILING_EMULATOR env ${WINE_ENVIRONMENT} ${WINE_PROGRAM})

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
