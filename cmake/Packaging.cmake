# The read-me and the licence, and a Debian package: cd build && cpack -G DEB
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME meridial)
set(CPACK_PACKAGE_VENDOR "Meridial contributors")
set(CPACK_PACKAGE_CONTACT "Meridial contributors <maintainers@meridial.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program an LED clock-and-message sign over RS-232")
set(CPACK_PACKAGE_DESCRIPTION
    "Meridial sends an LED sign with three lines (time, date, information) its date\n\
and time, its time zone with the daylight-saving start and end, its clock\n\
formats and a short scrolling message over a serial line. The package holds\n\
the desktop program, meridial-cli for scripted transfers and clock syncs,\n\
and meridial-sign, a virtual sign on a pseudo-terminal for trying it without\n\
hardware, with meridial-sign-view drawing that sign in a window.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# postinst makes the service's system user with adduser; the libraries' packages are added.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
# Debian's own documents, which only the package carries: the copyright file and the changelog.
set(CPACK_MERIDIAL_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_MERIDIAL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianDocuments.cmake)
# The maintainer scripts: the service's user, and what dh_installsystemd would write for the
# units: stop them on removal, remove their links on purge. Scripts 0755, as dpkg wants them.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/debian/postinst ${PROJECT_SOURCE_DIR}/cmake/debian/prerm
    ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
