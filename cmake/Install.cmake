# What `cmake --install` puts where, relative to the prefix. The host finds the plug-in library
# and the example show relative to its own folder: bin/../lib/tarvex and
# bin/../share/tarvex/examples/show (defaultPlugInPath, and --example in host/app/main.cpp), so the
# three folders move together.
#
#   cmake --install build/release --prefix /opt/tarvex
#   /opt/tarvex/bin/tarvex-host --example
set(TARVEX_INSTALL_PLUGIN_DIR lib/tarvex)
set(TARVEX_INSTALL_EXAMPLE_DIR share/tarvex/examples/show)

install(TARGETS tarvex-host RUNTIME DESTINATION bin)
install(TARGETS tarvex_plugin LIBRARY DESTINATION ${TARVEX_INSTALL_PLUGIN_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/show/show.tarvex
              ${PROJECT_SOURCE_DIR}/examples/show/TarvexSettings.dat
              ${PROJECT_SOURCE_DIR}/examples/show/TarvexActions.dat
        DESTINATION ${TARVEX_INSTALL_EXAMPLE_DIR})

# The desktop's menu entry and its icon: tarvex-48.png is tarvex.svg rendered at 48 pixels
# (rsvg-convert -w 48 -h 48), for desktops that draw no SVG.
install(FILES ${PROJECT_SOURCE_DIR}/dist/tarvex.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/tarvex.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/dist/tarvex-48.png DESTINATION share/icons/hicolor/48x48/apps
        RENAME tarvex.png)

# The manual page, compressed as man and lintian expect (gzip -9n: no name, no time).
set(TARVEX_MANUAL_GZ ${CMAKE_BINARY_DIR}/dist/tarvex-host.1.gz)
add_custom_command(
    OUTPUT ${TARVEX_MANUAL_GZ}
    COMMAND sh -c "gzip -9n -c \"$0\" >\"$1\"" ${PROJECT_SOURCE_DIR}/dist/tarvex-host.1
            ${TARVEX_MANUAL_GZ}
    DEPENDS ${PROJECT_SOURCE_DIR}/dist/tarvex-host.1
    VERBATIM)
add_custom_target(tarvex_manual ALL DEPENDS ${TARVEX_MANUAL_GZ})
install(FILES ${TARVEX_MANUAL_GZ} DESTINATION share/man/man1)

# The documentation in share/doc/tarvex, in the repository's layout so that the README's links
# hold. The example show stays where the host finds it; the documentation points to it with a
# link (the files under share/doc may be left out of an installation).
set(TARVEX_DOC_DIR share/doc/tarvex)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TARVEX_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${TARVEX_DOC_DIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.svg")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/dist/examples)
file(CREATE_LINK ../../../tarvex/examples/show ${CMAKE_BINARY_DIR}/dist/examples/show SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/dist/examples/show DESTINATION ${TARVEX_DOC_DIR}/examples)
