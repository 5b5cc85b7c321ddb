# Installing the manual page and building the Debian package.
# Included at the end of the top CMakeLists.txt, after every install rule.

include(GNUInstallDirs)

# The manual page is installed compressed with gzip -9n, as Debian policy
# asks; -n leaves name and time out of the header, so builds are repeatable.
find_program(LUMETRA_GZIP gzip REQUIRED)
set(lumetra_manual_source ${PROJECT_SOURCE_DIR}/doc/lumetra.1)
set(lumetra_manual_page ${PROJECT_BINARY_DIR}/doc/lumetra.1.gz)
add_custom_command(
  OUTPUT ${lumetra_manual_page}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND ${CMAKE_COMMAND} -E copy ${lumetra_manual_source} ${PROJECT_BINARY_DIR}/doc/lumetra.1
  COMMAND ${LUMETRA_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/doc/lumetra.1
  DEPENDS ${lumetra_manual_source}
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(lumetra_manual ALL DEPENDS ${lumetra_manual_page})
install(FILES ${lumetra_manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian package: lumetra_<version>_<arch>.deb, the dependencies taken from
# the libraries the binary links (dpkg-shlibdeps).
set(LUMETRA_PACKAGE_MAINTAINER "lumetra developers <lumetra@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumetra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert photovoltaic measurement logs into fixed-layout records")
# Debian wants the long description in lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "lumetra reads a photovoltaic measurement log (a header line, then lines of a\n"
  "time of day and three values separated by semicolons) and writes one\n"
  "fixed-layout record per data line, with the time of day in seconds and the\n"
  "values with decimal commas. It asks for the source and target file names in a\n"
  "German console dialogue; scripts can pipe the names in on standard input.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUMETRA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
