# Installation and the Debian package: the programs with their manual pages (made from their
# --help by help2man, so they list exactly the options the programs take), bash completion for
# trawlix-scan, the desktop entry with the icon in the hicolor sizes and the AppStream metainfo,
# the copyright file and the changelog. An installed program keeps its settings, and looks for the
# vendor's flashing tool, in the per-user folder ~/.config/trawlix.
#
# With TRAWLIX_PACKAGE (scripts/package.sh) the tools that make the manual pages and icons are
# required; otherwise a build without them leaves those parts out and says so.
include(GNUInstallDirs)

option(TRAWLIX_PACKAGE "Build everything the Debian package holds (help2man and rsvg-convert required)" OFF)
set(TRAWLIX_APP_ID io.trawlix.Trawlix)
set(TRAWLIX_HOMEPAGE "https://trawlix.io" CACHE STRING "The project's web address (metainfo, package)")
set(TRAWLIX_MAINTAINER "Trawlix developers <developers@trawlix.io>")
set(TRAWLIX_PROJECT_LICENSE "LicenseRef-proprietary")
set(TRAWLIX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/trawlix)
set(TRAWLIX_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

if(TRAWLIX_PACKAGE)
    set(trawlix_missing_tool FATAL_ERROR)
else()
    set(trawlix_missing_tool STATUS)
endif()

# The newest changelog entry is the release: its version must be the project's, and its date is
# the release date of the metainfo and the date of the manual pages (SOURCE_DATE_EPOCH, so the
# package comes out the same from the same sources).
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog trawlix_changelog)
list(GET trawlix_changelog 0 trawlix_changelog_head)
string(REGEX MATCH "^trawlix \\(([^)]+)\\)" _ "${trawlix_changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(${trawlix_missing_tool} "packaging/changelog starts with version '${CMAKE_MATCH_1}', the project is "
            "${PROJECT_VERSION}: add a changelog entry for the new version")
endif()
foreach(line IN LISTS trawlix_changelog)
    if(line MATCHES "^ -- .*>  (.+)$")
        set(trawlix_release_stamp "${CMAKE_MATCH_1}")
        break()
    endif()
endforeach()
execute_process(COMMAND date -u -d "${trawlix_release_stamp}" +%s OUTPUT_VARIABLE TRAWLIX_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE trawlix_date_failed)
execute_process(COMMAND date -u -d "${trawlix_release_stamp}" +%F OUTPUT_VARIABLE TRAWLIX_RELEASE_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(trawlix_date_failed)
    message(FATAL_ERROR "packaging/changelog: no readable date in the newest entry's trailer line")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${TRAWLIX_DOC_DIR})
# A native package's changelog: compressed without a time stamp, as Debian keeps it.
add_custom_command(
    OUTPUT ${TRAWLIX_PACKAGING_OUT}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${TRAWLIX_PACKAGING_OUT}/changelog
    COMMAND gzip -9nf ${TRAWLIX_PACKAGING_OUT}/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    COMMENT "Compressing the changelog"
    VERBATIM)
add_custom_target(trawlix_changelog ALL DEPENDS ${TRAWLIX_PACKAGING_OUT}/changelog.gz)
install(FILES ${TRAWLIX_PACKAGING_OUT}/changelog.gz DESTINATION ${TRAWLIX_DOC_DIR})
file(MAKE_DIRECTORY ${TRAWLIX_PACKAGING_OUT}/man ${TRAWLIX_PACKAGING_OUT}/icons)

# Manual pages: one per program, made from its --help (and --version) with the extra sections of
# packaging/man/<program>.h2m. Fuzzing builds make none.
find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT HELP2MAN_EXECUTABLE)
    message(${trawlix_missing_tool} "help2man not found (apt-get install help2man): no manual pages")
endif()
function(trawlix_manual_page target summary)
    if(NOT TARGET ${target} OR NOT HELP2MAN_EXECUTABLE OR TRAWLIX_FUZZ)
        return()
    endif()
    set(page ${TRAWLIX_PACKAGING_OUT}/man/${target}.1)
    set(include ${PROJECT_SOURCE_DIR}/packaging/man/${target}.h2m)
    set(version "")
    if(ARGN)
        set(version "--version-string=${ARGN}")
    endif()
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TRAWLIX_RELEASE_EPOCH}
                ${HELP2MAN_EXECUTABLE} --no-info --section=1 --name=${summary} "--source=Trawlix ${PROJECT_VERSION}"
                --manual=Trawlix --include=${include} ${version} --output=${page} $<TARGET_FILE:${target}>
        COMMAND gzip -9nf ${page}
        DEPENDS ${target} ${include}
        COMMENT "Manual page of ${target}"
        VERBATIM)
    add_custom_target(${target}_manual_page ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
trawlix_manual_page(trawlix "find UPS network adapters and check their firmware")
trawlix_manual_page(trawlix-scan "search networks for UPS network adapters from a terminal")
trawlix_manual_page(trawlix-sim "simulated UPS network adapters and vendor server for tests" "trawlix-sim ${PROJECT_VERSION}")

if(TARGET trawlix-scan)
    install(TARGETS trawlix-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/bash-completion/trawlix-scan
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
if(TARGET trawlix-sim)
    install(TARGETS trawlix-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The simulator's networks, to start from.
    file(GLOB trawlix_sim_networks ${PROJECT_SOURCE_DIR}/sim/networks/*.net)
    install(FILES ${trawlix_sim_networks} DESTINATION ${TRAWLIX_DOC_DIR}/examples)
endif()
# The root helper that adds the route to the factory address, started through pkexec: a program
# of ours that nobody runs directly, with the polkit action that allows it.
if(TARGET trawlix-factory-route)
    install(TARGETS trawlix-factory-route RUNTIME DESTINATION ${TRAWLIX_HELPER_DIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/io.trawlix.factory-route.policy)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.trawlix.factory-route.policy
            DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
endif()

if(TARGET trawlix)
    install(TARGETS trawlix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TRAWLIX_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${TRAWLIX_APP_ID}.metainfo.xml.in
                   ${TRAWLIX_PACKAGING_OUT}/${TRAWLIX_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${TRAWLIX_PACKAGING_OUT}/${TRAWLIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # The program icon: the SVG for any size, and PNGs in the usual sizes for desktops that want
    # them, the small sizes from the drawing made for 16 pixels.
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/155-app.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME trawlix.svg)
    find_program(RSVG_CONVERT_EXECUTABLE rsvg-convert)
    if(NOT RSVG_CONVERT_EXECUTABLE)
        message(${trawlix_missing_tool} "rsvg-convert not found (apt-get install librsvg2-bin): no PNG icons")
    else()
        set(icons "")
        foreach(size 16 22 24 32 48 64 128 256)
            if(size LESS 32)
                set(svg ${PROJECT_SOURCE_DIR}/resources/icons/130-app-small.svg)
            else()
                set(svg ${PROJECT_SOURCE_DIR}/resources/icons/155-app.svg)
            endif()
            set(png ${TRAWLIX_PACKAGING_OUT}/icons/${size}x${size}/trawlix.png)
            add_custom_command(
                OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${TRAWLIX_PACKAGING_OUT}/icons/${size}x${size}
                COMMAND ${RSVG_CONVERT_EXECUTABLE} --width=${size} --height=${size} --output=${png} ${svg}
                DEPENDS ${svg}
                VERBATIM)
            list(APPEND icons ${png})
            install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
        endforeach()
        add_custom_target(trawlix_icons ALL DEPENDS ${icons})
    endif()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trawlix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvanta GmbH")
set(CPACK_PACKAGE_CONTACT "${TRAWLIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find UPS network adapters and check their firmware")
# The lines of the long description after the summary, at most 80 characters each.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Trawlix searches networks and the factory address 10.10.10.10 for UPS network"
    "adapters (the legacy family with its HTML status page and LX400 adapters with"
    "their JSON interface over HTTPS or HTTP), reads their identity, asks the"
    "vendor's web server whether newer firmware exists, and lists them. From the"
    "list it opens an adapter's web page, downloads firmware or starts the vendor's"
    "flashing tool."
    ""
    "The package holds the desktop program trawlix, trawlix-scan, which searches"
    "from a terminal with table, CSV, JSON or Prometheus output, compares"
    "inventories and runs as a monitoring plugin for Icinga, Nagios or Naemon, and"
    "trawlix-sim, a simulator of adapters and of the vendor's server for trying"
    "the programs out without real adapters."
    ""
    "For many sites, a systemd timer (disabled until enabled) searches the networks"
    "of /etc/trawlix/networks every 15 minutes into node_exporter's textfile"
    "folder for Prometheus, asking the vendor once per firmware; example alert"
    "rules for Prometheus are in the documentation.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRAWLIX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TRAWLIX_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The site search's files under /etc are the administrator's once installed; its user and folder
# rights are made when the package is configured.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/TrawlixPackageStrip.cmake)
# The icons are SVG, drawn by Qt's SVG image plugin, which no linked library names; web pages are
# opened with xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, libqt6svg6")
# Qt's own dialogs in German; pkexec runs the route helper as root.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
if(TARGET trawlix-factory-route)
    string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", pkexec")
endif()
# The vendor's flashing tool is a Windows program; the site search writes for node_exporter's
# textfile collector.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus-node-exporter, wine")
include(CPack)
