# What `make install` puts under the prefix, and the Debian package `make package` builds of
# the same set. The version is the project's: the package, the changelog and --version agree.
include(GNUInstallDirs)

set(PSUCAL_MAINTAINER "psucal developers <psucal@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

set(pack ${CMAKE_CURRENT_LIST_DIR})
set(staged ${CMAKE_BINARY_DIR}/packaging)

# Debian wants man pages and the changelog compressed, without a time stamp (-n) so that two
# builds give the same bytes.
find_program(PSUCAL_GZIP gzip REQUIRED)
configure_file(${pack}/changelog.in ${staged}/changelog @ONLY)
set(compressed)
foreach(source IN ITEMS ${CMAKE_SOURCE_DIR}/doc/psucal.1 ${CMAKE_SOURCE_DIR}/doc/psucal-sim.1
                     ${CMAKE_SOURCE_DIR}/doc/psucal-line.1 ${staged}/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${staged}/${name}.gz
                     COMMAND ${PSUCAL_GZIP} -9nc ${source} > ${staged}/${name}.gz
                     DEPENDS ${source} VERBATIM)
  list(APPEND compressed ${staged}/${name}.gz)
endforeach()
add_custom_target(psucal-docs ALL DEPENDS ${compressed})

install(TARGETS psucal psucal-sim psucal-line RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${staged}/psucal.1.gz ${staged}/psucal-sim.1.gz ${staged}/psucal-line.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pack}/psucal.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pack}/psucal.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${pack}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/psucal)
install(FILES ${staged}/changelog.gz ${pack}/line.conf.example DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/psucal)
# Installed, not enabled: it needs /etc/psucal/line.conf first.
install(FILES ${pack}/psucal-line.service DESTINATION lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME psucal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PSUCAL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recalibrates 200 W programmable power supplies over RS-232")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "psucal recalibrates 20V/10A, 40V/5A and 60V/3.3A programmable power
supplies over RS-232 and verifies them against an HP 34401A multimeter.
It keeps the records in a local SQLite file or on a PostgreSQL server
and files a PDF report for each unit. It runs in a window or in the
terminal. psucal-sim simulates a supply and a meter for trying it out.
psucal-line shows a line's records in a browser.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the binaries link, as dpkg-shlibdeps finds them, plus the database drivers
# they load at run time (the window's and the terminal's platforms come with libqt6gui6).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
