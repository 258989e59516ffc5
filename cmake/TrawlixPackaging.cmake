# Installation and the Debian package: the desktop program with its menu entry and icon, and the
# headless trawlix-scan. An installed program keeps its settings in the per-user file.
include(GNUInstallDirs)

if(TARGET trawlix)
    install(TARGETS trawlix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/trawlix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/155-app.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME trawlix.svg)
endif()
if(TARGET trawlix-scan)
    install(TARGETS trawlix-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The helper that adds the route to the factory address as root, and the polkit action pkexec
# runs it under (the action names the helper's path under /usr).
if(TARGET trawlix-factory-route)
    install(TARGETS trawlix-factory-route RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/trawlix)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.trawlix.factory-route.policy
            DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trawlix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvanta GmbH")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Finds UPS network adapters and checks their firmware")
set(CPACK_PACKAGE_DESCRIPTION
    "Trawlix searches a /24 network and the factory address 10.10.10.10 for UPS network adapters, reads their identity, asks the vendor's web server for newer firmware and lists them. trawlix-scan does the same from a terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Trawlix developers")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The icons are SVG, drawn by Qt's SVG image plugin, which no linked library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "iproute2, xdg-utils, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
include(CPack)
