# The Debian package of what cmake/Install.cmake installs, built by `./dev package` into
# build/package. dpkg-shlibdeps (dpkg-dev) reads the libraries the host and the plug-in link and
# writes the Depends line from them, so `apt install ./tarvex_*.deb` brings Qt and libola.
#
#   cmake --preset package && cmake --build --preset package && cpack --preset package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR "Tarvex")
set(CPACK_PACKAGE_CONTACT "Tarvex maintainers <maintainers@tarvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Open Sound Control to DMX lighting, with its own host")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvex receives Open Sound Control on a UDP port and sets DMX channel levels from it,\n\
following a table of actions built with a learn mode. tarvex-host loads the Tarvex plug-in,\n\
runs a show in a window or headless and sends the levels to lights through OLA (olad).")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# olad sends the levels to Art-Net, sACN or a USB interface; without it the host runs with its
# DMX output off. oscsend (liblo-tools) sends the host OSC by hand.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ola")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "liblo-tools")

include(CPack)
