# Read by cpack before it builds the Debian package (CPACK_PROJECT_CONFIG_FILE, written by
# cmake/Package.cmake with TARVEX_PACKAGE_BINARIES, the host and the plug-in as built, and
# TARVEX_SHLIBDEPS_FOLDER, a scratch folder): sets the Depends line to what dpkg-shlibdeps finds
# that they link, as Debian's own packages do.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(TARVEX_SHLIBDEPS dpkg-shlibdeps REQUIRED)
# dpkg-shlibdeps wants a source package's folder: an empty debian/control is enough.
set(folder ${TARVEX_SHLIBDEPS_FOLDER})
file(MAKE_DIRECTORY ${folder}/debian)
file(WRITE ${folder}/debian/control "")
execute_process(
    COMMAND ${TARVEX_SHLIBDEPS} -O ${TARVEX_PACKAGE_BINARIES}
    WORKING_DIRECTORY ${folder}
    OUTPUT_VARIABLE substitution
    ERROR_VARIABLE errors
    RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT substitution MATCHES "^shlibs:Depends=(.+)$")
    message(FATAL_ERROR "dpkg-shlibdeps found no dependencies: ${errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
