# Installing the manual page and the package documents, and building the
# Debian package and a plain tarball.
# Included at the end of the top CMakeLists.txt, after every install rule.

include(GNUInstallDirs)

set(LUMETRA_PACKAGE_MAINTAINER "lumetra developers <lumetra@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# lumetra_compressed(<file> <compressed>): the file compressed with gzip -9n,
# as Debian policy asks for manual pages and changelogs; -n leaves name and
# time out of the header, so builds are repeatable.
find_program(LUMETRA_GZIP gzip REQUIRED)
function(lumetra_compressed file compressed)
  get_filename_component(name ${file} NAME)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND ${CMAKE_COMMAND} -E copy ${file} ${PROJECT_BINARY_DIR}/doc/${name}
    COMMAND ${LUMETRA_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/doc/${name}
    DEPENDS ${file}
    COMMENT "Compressing ${name}"
    VERBATIM)
endfunction()

set(lumetra_manual_page ${PROJECT_BINARY_DIR}/doc/lumetra.1.gz)
lumetra_compressed(${PROJECT_SOURCE_DIR}/doc/lumetra.1 ${lumetra_manual_page})
install(FILES ${lumetra_manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The changelog (signed by the maintainer) and the copyright file, in
# share/doc/lumetra.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(lumetra_changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
lumetra_compressed(${PROJECT_BINARY_DIR}/packaging/changelog ${lumetra_changelog})
install(FILES ${lumetra_changelog} ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(lumetra_documents ALL DEPENDS ${lumetra_manual_page} ${lumetra_changelog})

# Debian package: lumetra_<version>_<arch>.deb, the dependencies taken from
# the libraries the binary links (dpkg-shlibdeps). Tarball:
# lumetra-<version>-linux-<processor>.tar.gz, the same files under one folder.
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
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
