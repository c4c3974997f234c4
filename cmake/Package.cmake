# What a desktop install holds besides the programs, and the Debian package of it all
# (`cpack -G DEB` in the build directory).

# Dates in the manual pages and the package's changelog: SOURCE_DATE_EPOCH when set, so a
# rebuild of the same sources gives the same package.
string(TIMESTAMP TARNWICK_MAN_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TARNWICK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(TARNWICK_PACKAGE_MAINTAINER "The Tarnwick developers <tarnwick@users.noreply.github.com>"
    CACHE STRING "The Debian package's maintainer")

# Manual pages and the changelog are installed compressed, as Debian policy has them.
set(tarnwick_compressed "")
foreach(page tarnwick.1 tarnwick-cli.1)
    configure_file(${PROJECT_SOURCE_DIR}/res/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    list(APPEND tarnwick_compressed ${PROJECT_BINARY_DIR}/man/${page})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/res/deb/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
list(APPEND tarnwick_compressed ${PROJECT_BINARY_DIR}/doc/changelog)
set(tarnwick_gzipped "")
foreach(file IN LISTS tarnwick_compressed)
    add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file} VERBATIM)
    list(APPEND tarnwick_gzipped ${file}.gz)
endforeach()
add_custom_target(tarnwick_compressed_docs ALL DEPENDS ${tarnwick_gzipped})

install(FILES ${PROJECT_BINARY_DIR}/man/tarnwick.1.gz ${PROJECT_BINARY_DIR}/man/tarnwick-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/res/completion/tarnwick-cli
        DESTINATION ${TARNWICK_BASH_COMPLETION_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/res/deb/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write firmware into a VORTAN USB SPI-flash programmer")
# Lines of the control file's description are kept under 80 columns by hand.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tarnwick writes a firmware image into the SPI flash of a VORTAN USB programmer\n"
    "through the vendor SCSI commands of its mass-storage interface. Every page is\n"
    "checked with a CRC-16 and confirmed by the programmer, and a write the\n"
    "programmer did not confirm is never reported as a success.\n"
    "\n"
    "This package holds the dialog (tarnwick), the command line tool\n"
    "(tarnwick-cli) and the udev rule that lets the person at the seat use the\n"
    "programmer without root.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARNWICK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/tarnwick/tarnwick)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The rule needs udev to do anything; the programs run without it (--emulate).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/res/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
