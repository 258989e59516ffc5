# The site search on a timer, installed with trawlix-scan and disabled until a site enables it:
# the service and its timer, the user it runs as (sysusers.d), its right to write into
# node_exporter's textfile folder (tmpfiles.d), its configuration under /etc, and the example
# Prometheus rules. The package's postinst runs systemd-sysusers and systemd-tmpfiles --create for
# these files, and packaging/debian/conffiles keeps the two /etc files as the administrator's.
include(GNUInstallDirs)
if(NOT TARGET trawlix-scan)
    return()
endif()
set(site ${PROJECT_SOURCE_DIR}/packaging/systemd)
install(FILES ${site}/trawlix-search.service ${site}/trawlix-search.timer DESTINATION lib/systemd/system)
install(FILES ${site}/trawlix.sysusers DESTINATION lib/sysusers.d RENAME trawlix.conf)
install(FILES ${site}/trawlix.tmpfiles DESTINATION lib/tmpfiles.d RENAME trawlix.conf)
# The service reads the machine's own /etc, whatever the installation prefix.
install(FILES ${site}/networks DESTINATION /etc/trawlix)
install(FILES ${site}/trawlix-search.default DESTINATION /etc/default RENAME trawlix-search)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/prometheus/trawlix-rules.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trawlix/examples)
