# What `cmake --install` lays out, and the .deb that `make package` builds
# from it with CPack. The files themselves live in packaging/.
include(GNUInstallDirs)

set(VEMO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VEMO_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)
set(VEMO_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vemo)

set(VEMO_PROGRAMS vemo)
set(VEMO_MANUALS vemo.1)
if(TARGET vemo-check)
  list(APPEND VEMO_PROGRAMS vemo-check)
  string(APPEND VEMO_PROVIDES_MORE "\n    <binary>vemo-check</binary>")
  if(EXISTS ${VEMO_PACKAGING_DIR}/vemo-check.1)
    list(APPEND VEMO_MANUALS vemo-check.1)
  endif()
endif()

# Manual pages and the changelog go out compressed as Debian wants them:
# gzip -9, without a name or time stamp inside.
set(VEMO_COMPRESSED)
foreach(file IN LISTS VEMO_MANUALS ITEMS changelog)
  add_custom_command(OUTPUT ${VEMO_GENERATED_DIR}/${file}.gz
    COMMAND sh -c "gzip -9n -c '${VEMO_PACKAGING_DIR}/${file}' > '${VEMO_GENERATED_DIR}/${file}.gz'"
    DEPENDS ${VEMO_PACKAGING_DIR}/${file} VERBATIM)
  list(APPEND VEMO_COMPRESSED ${VEMO_GENERATED_DIR}/${file}.gz)
endforeach()
add_custom_target(vemo_compressed_docs ALL DEPENDS ${VEMO_COMPRESSED})
list(TRANSFORM VEMO_MANUALS REPLACE "(.+)" "${VEMO_GENERATED_DIR}/\\1.gz"
  OUTPUT_VARIABLE VEMO_MANUALS_GZ)

configure_file(${VEMO_PACKAGING_DIR}/${VEMO_APP_ID}.metainfo.xml
  ${VEMO_GENERATED_DIR}/${VEMO_APP_ID}.metainfo.xml @ONLY)

install(TARGETS ${VEMO_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The verification terminal's helper; the runner looks for it in ../libexec/vemo.
install(TARGETS vemo-verify RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vemo)
install(FILES ${VEMO_PACKAGING_DIR}/${VEMO_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${VEMO_GENERATED_DIR}/${VEMO_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${VEMO_PACKAGING_DIR}/icons/${VEMO_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS VEMO_ICON_SIZES)
  install(FILES ${VEMO_PACKAGING_DIR}/icons/vemo-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${VEMO_APP_ID}.png)
endforeach()
install(FILES ${VEMO_MANUALS_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VEMO_PACKAGING_DIR}/copyright ${VEMO_GENERATED_DIR}/changelog.gz
  DESTINATION ${VEMO_DOC_DIR})
# Ready-made definitions for vemo-check: a systemd service and timer for
# node_exporter's textfile collector, and Nagios and Icinga objects.
set(VEMO_EXAMPLES vemo-check.service vemo-check.timer vemo-nagios.cfg vemo-icinga.conf)
list(TRANSFORM VEMO_EXAMPLES PREPEND ${VEMO_PACKAGING_DIR}/examples/ OUTPUT_VARIABLE VEMO_EXAMPLE_FILES)
install(FILES ${VEMO_EXAMPLE_FILES} DESTINATION ${VEMO_DOC_DIR}/examples)

# The .deb: vemo_<version>_<arch>.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vemo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillfern)
set(CPACK_PACKAGE_CONTACT "Quillfern <maintainers@quillfern.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop monitor of Linux servers over SSH")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quillfern Remote Server Monitor (VEMO) keeps a list of Linux servers in a
local SQLite file and checks every one over SSH with PuTTY's plink at start,
every five minutes and on demand. One row per server shows whether it
answered, its uptime, its software RAID against an accepted reference and
the state of its nightly backup.
]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quillfern/vemo)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "putty-tools, putty, xterm | x-terminal-emulator, fonts-liberation2")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
