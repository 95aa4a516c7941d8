# The version, the manifest and the release package.
#
# project(VERSION) in the root CMakeLists.txt is the one place the version is
# written.  From it come the executable's version record (through the
# generated header version.h, included by resources/veslinn.rc), the heading of
# the user's README and the package's name.  The architecture
# (CMAKE_SIZEOF_VOID_P) gives the manifest's processorArchitecture and the
# package's suffix:
#
#                   manifest   package
#   32-bit build    x86        veslinn-<version>-win32.zip
#   64-bit build    amd64      veslinn-<version>-win64.zip
#
#   cmake --build --preset windows-x86 --target package
#
# writes <build>/package/veslinn-<version>-win32.zip, with veslinn.exe and
# README.txt (CR LF line ends) at its top level, and beside it
# veslinn-<version>-win32.zip.sha256 in the format of `sha256sum`.
#
# The zip is reproducible: the linker writes no time stamp into the
# executable (--no-insert-timestamp), and the zip's entries have a fixed
# order, fixed modes and the time of the commit (SOURCE_DATE_EPOCH when set,
# else the commit time from git; see cmake/make_zip.py).

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(MANIFEST_ARCH amd64)
  set(package_arch win64)
else()
  set(MANIFEST_ARCH x86)
  set(package_arch win32)
endif()

# The version record has four words; parts project(VERSION) leaves out are 0.
foreach(part MAJOR MINOR PATCH TWEAK)
  string(TOLOWER "${part}" word)
  set(version_${word} "${PROJECT_VERSION_${part}}")
  if(version_${word} STREQUAL "")
    set(version_${word} 0)
  endif()
endforeach()
# Generated resources: version.h and app.manifest, found by windres through
# this include folder.
set(resource_folder "${PROJECT_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/version.h.in" "${resource_folder}/version.h" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/resources/app.manifest.in" "${resource_folder}/app.manifest" @ONLY)
target_include_directories(veslinn PRIVATE $<$<COMPILE_LANGUAGE:RC>:${resource_folder}>)
set_property(SOURCE "${PROJECT_SOURCE_DIR}/resources/veslinn.rc" APPEND PROPERTY OBJECT_DEPENDS
             "${resource_folder}/app.manifest")
# No time stamp in the executable's headers: a rebuild gives the same bytes.
target_link_options(veslinn PRIVATE -Wl,--no-insert-timestamp)

set(package_name "veslinn-${PROJECT_VERSION}-${package_arch}")
set(package_folder "${PROJECT_BINARY_DIR}/package")
set(package_files "${package_folder}/files")  # what goes into the zip
set(package_zip "${package_folder}/${package_name}.zip")
configure_file("${PROJECT_SOURCE_DIR}/package/README.txt.in" "${package_files}/README.txt"
               @ONLY NEWLINE_STYLE CRLF)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
# Always run: the zip's entry times follow the commit, which the build cannot
# see change.
add_custom_target(package
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:veslinn>" "${package_files}/veslinn.exe"
  COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/make_zip.py" "${package_zip}"
          "${package_files}" veslinn.exe README.txt
  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
  DEPENDS veslinn "${package_files}/README.txt"
  COMMENT "Packing ${package_name}.zip"
  VERBATIM)
