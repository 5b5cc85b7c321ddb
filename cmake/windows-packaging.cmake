# The Windows package: lumetra-<version>-windows-x64.zip holds one folder with
# lumetra.exe, the README, the manual page as text (lumetra.txt) and the
# sample log (samples/pv-log.csv, for the README's quick start). Every text
# file is UTF-8 with CR LF line ends, which every Windows editor reads
# (Notepad before Windows 10 shows a file with LF alone as one line).
# Included at the end of the top CMakeLists.txt instead of packaging.cmake.

find_program(LUMETRA_GROFF groff REQUIRED)
set(lumetra_manual_source ${PROJECT_SOURCE_DIR}/doc/lumetra.1)
set(lumetra_manual_text ${PROJECT_BINARY_DIR}/doc/lumetra.txt)
set(lumetra_readme_text ${PROJECT_BINARY_DIR}/doc/README.md)
# -P-cbou: plain characters without overstriking; -rHY=0: no hyphenation.
add_custom_command(
  OUTPUT ${lumetra_manual_text}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND sh -c "\"$0\" -t -man -rHY=0 -Tutf8 -P-cbou \"$1\" | sed 's/$/\\r/' > \"$2\""
          ${LUMETRA_GROFF} ${lumetra_manual_source} ${lumetra_manual_text}
  DEPENDS ${lumetra_manual_source}
  COMMENT "Writing the manual page as text"
  VERBATIM)
add_custom_command(
  OUTPUT ${lumetra_readme_text}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND sh -c "sed 's/$/\\r/' \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/README.md ${lumetra_readme_text}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md
  COMMENT "Writing the README with CR LF line ends"
  VERBATIM)
add_custom_target(lumetra_manual ALL DEPENDS ${lumetra_manual_text} ${lumetra_readme_text})
install(FILES ${lumetra_manual_text} ${lumetra_readme_text} DESTINATION .)
# The sample keeps its CR LF line ends byte for byte (samples/.gitattributes).
install(FILES ${PROJECT_SOURCE_DIR}/samples/pv-log.csv DESTINATION samples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME lumetra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME lumetra-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
