# The Windows package: lumetra-<version>-windows-x64.zip holds one folder with
# lumetra.exe, the README and the manual page as UTF-8 text with CR LF line
# ends (lumetra.txt), readable in any Windows editor. Included at the end of
# the top CMakeLists.txt instead of packaging.cmake.

find_program(LUMETRA_GROFF groff REQUIRED)
set(lumetra_manual_source ${PROJECT_SOURCE_DIR}/doc/lumetra.1)
set(lumetra_manual_text ${PROJECT_BINARY_DIR}/doc/lumetra.txt)
# -P-cbou: plain characters without overstriking; -rHY=0: no hyphenation.
add_custom_command(
  OUTPUT ${lumetra_manual_text}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND sh -c "\"$0\" -t -man -rHY=0 -Tutf8 -P-cbou \"$1\" | sed 's/$/\\r/' > \"$2\""
          ${LUMETRA_GROFF} ${lumetra_manual_source} ${lumetra_manual_text}
  DEPENDS ${lumetra_manual_source}
  COMMENT "Writing the manual page as text"
  VERBATIM)
add_custom_target(lumetra_manual ALL DEPENDS ${lumetra_manual_text})
install(FILES ${lumetra_manual_text} ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME lumetra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME lumetra-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
