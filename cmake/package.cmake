# The Debian package: library, headers, CMake and pkg-config files, tools, the server with
# its unit and example configuration, and the manual pages, in one .deb made by `cpack`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zngroups)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "zngroups maintainers <zngroups@${ZNGROUPS_MAIL_DOMAIN}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Client library and tools for the company directory of groups and workers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "CZNGroup and CZNWorker read the LDAP directory of mail groups and workers and request\n changes from the administration server; zngroups offers both from the shell and\n zngroups-admind is the administration server.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The libraries the binaries link, by their Debian 12 package names; a sanitizer build also
# needs the compiler's runtime, which only the tests install such a build for.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libldap-2.5-0, libsqlite3-0")
# The shared usage-report spool, /var/spool/zni (mode 1777), is made when the package is
# configured; it is no file of the package, so reports left in it survive an upgrade.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
