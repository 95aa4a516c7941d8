# The version and the release package.
#
# project(VERSION) in the root CMakeLists.txt is the one place the version is
# written.  From it come the executable's version record (through the
# generated header version.h, included by resources/veslinn.rc), the heading of
# the user's README and the package's name.
#
#   cmake --build --preset windows-x86 --target package
#
# writes build/package/veslinn-<version>-win32.zip, with veslinn.exe and
# README.txt (CR LF line ends) at its top level, and beside it
# veslinn-<version>-win32.zip.sha256 in the format of `sha256sum`.

# The version record has four words; parts project(VERSION) leaves out are 0.
foreach(part MAJOR MINOR PATCH TWEAK)
  string(TOLOWER "${part}" word)
  set(version_${word} "${PROJECT_VERSION_${part}}")
  if(version_${word} STREQUAL "")
    set(version_${word} 0)
  endif()
endforeach()
set(version_header_folder "${PROJECT_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/version.h.in" "${version_header_folder}/version.h" @ONLY)
target_include_directories(veslinn PRIVATE $<$<COMPILE_LANGUAGE:RC>:${version_header_folder}>)

set(package_name "veslinn-${PROJECT_VERSION}-win32")
set(package_folder "${PROJECT_BINARY_DIR}/package")
set(package_files "${package_folder}/files")  # what goes into the zip
set(package_zip "${package_folder}/${package_name}.zip")
configure_file("${PROJECT_SOURCE_DIR}/package/README.txt.in" "${package_files}/README.txt"
               @ONLY NEWLINE_STYLE CRLF)

add_custom_command(
  OUTPUT "${package_zip}" "${package_zip}.sha256"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:veslinn>" "${package_files}/veslinn.exe"
  COMMAND "${CMAKE_COMMAND}" -E chdir "${package_files}"
          "${CMAKE_COMMAND}" -E tar cf "${package_zip}" --format=zip veslinn.exe README.txt
  COMMAND "${CMAKE_COMMAND}" -E sha256sum "${package_name}.zip" > "${package_name}.zip.sha256"
  WORKING_DIRECTORY "${package_folder}"
  DEPENDS veslinn "${package_files}/README.txt"
  COMMENT "Packing ${package_name}.zip"
  VERBATIM)
add_custom_target(package DEPENDS "${package_zip}" "${package_zip}.sha256")
