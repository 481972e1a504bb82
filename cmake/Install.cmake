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
