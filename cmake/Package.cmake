# The Debian package of what cmake/Install.cmake installs, built by `./dev package` into
# build/package and checked with lintian by .ci/check-package.
#
#   cmake --preset package && cmake --build --preset package && cpack --preset package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR "Tarvex")
set(CPACK_PACKAGE_CONTACT "Tarvex maintainers <maintainers@tarvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Open Sound Control to DMX lighting, with its own host")
# Lines of at most 80 characters, as a package description's must be.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvex receives Open Sound Control on a UDP port and sets DMX channel levels\n\
from it, following a table of actions built with a learn mode. tarvex-host\n\
loads the Tarvex plug-in, runs a show in a window or headless and sends the\n\
levels to lights through OLA (olad).")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's first revision of the project's version; dist/debian/changelog names the same.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# olad sends the levels to Art-Net, sACN or a USB interface; without it the host runs with its
# DMX output off. avahi-daemon lets controller apps find the server on the network; without it
# the plug-in says once that it is not announced. oscsend (liblo-tools) sends the host OSC by hand.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ola, avahi-daemon")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "liblo-tools")

# The Depends line comes from dpkg-shlibdeps (dpkg-dev), run on the host and the plug-in by
# cmake/PackageDepends.cmake when cpack starts, so `apt install ./tarvex_*.deb` brings Qt and
# libola. CPack's own CPACK_DEBIAN_PACKAGE_SHLIBDEPS would do the same, but it also adds ldconfig
# calls to postinst and postrm for any library under /usr/lib; the plug-in is private to the
# host, which loads it by its path, so the package has no maintainer scripts at all.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(TARVEX_PACKAGE_BINARIES "$<TARGET_FILE:tarvex-host>;$<TARGET_FILE:tarvex_plugin>")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/PackageConfig.cmake CONTENT
     "set(TARVEX_PACKAGE_BINARIES \"${TARVEX_PACKAGE_BINARIES}\")\n\
set(TARVEX_SHLIBDEPS_FOLDER \"${CMAKE_BINARY_DIR}/shlibdeps\")\n\
include(\"${CMAKE_CURRENT_LIST_DIR}/PackageDepends.cmake\")\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PackageConfig.cmake)

# What Debian asks of every package in /usr/share/doc/tarvex: the copyright in the
# machine-readable format and the changelog, compressed as dpkg expects (gzip -9n: no name, no
# time, so the same changelog gives the same bytes).
set(TARVEX_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/dist/changelog.Debian.gz)
add_custom_command(
    OUTPUT ${TARVEX_CHANGELOG_GZ}
    COMMAND sh -c "gzip -9n -c \"$0\" >\"$1\"" ${PROJECT_SOURCE_DIR}/dist/debian/changelog
            ${TARVEX_CHANGELOG_GZ}
    DEPENDS ${PROJECT_SOURCE_DIR}/dist/debian/changelog
    VERBATIM)
add_custom_target(tarvex_changelog ALL DEPENDS ${TARVEX_CHANGELOG_GZ})
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${TARVEX_CHANGELOG_GZ}
        DESTINATION share/doc/tarvex)

include(CPack)
