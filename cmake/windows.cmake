# The Windows build (cmake/mingw-w64-x86_64.cmake): the system layer from
# the units of system/ and system/windows/. Programs use the real console
# (lumetra_windows_console), lumetra.exe with its own entry point
# (lumetra_windows_program); the unit tests use the console functions
# emulated over the console model (lumetra_emulated_console), as on Linux,
# without the terminal host. Both are object libraries, linked into each
# program that needs one of them. Every program runs through wine, in a
# prefix inside the build folder.
set(LUMETRA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run;${LUMETRA_WINE_PREFIX})

set(src ${PROJECT_SOURCE_DIR}/src)
file(GLOB system_sources CONFIGURE_DEPENDS ${src}/system/*.cpp ${src}/system/windows/*.cpp)
list(REMOVE_ITEM system_sources ${src}/system/windows/console_api.cpp)
lumetra_layer(system SOURCES ${system_sources} LINKS Threads::Threads)

add_library(lumetra_windows_console OBJECT ${src}/system/windows/console_api.cpp)
target_include_directories(lumetra_windows_console PUBLIC ${src})

# The console emulator's portable parts.
set(host ${src}/console_host)
lumetra_layer(console_host
  SOURCES ${host}/code_page_850.cpp ${host}/console_model.cpp ${host}/input_decoder.cpp ${host}/key_layout.cpp
    ${host}/terminal_charset.cpp ${host}/terminal_renderer.cpp ${host}/typed_names.cpp
  LINKS lumetra_system)
add_library(lumetra_emulated_console OBJECT ${host}/console_api.cpp ${host}/console_host.cpp ${host}/key_map.cpp)
target_include_directories(lumetra_emulated_console PUBLIC ${src})

# lumetra_windows_program(<target>): the program on the real console, entered
# at wmain (-municode), with the version resource of cmake/lumetra.rc.in.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/lumetra.rc.in ${PROJECT_BINARY_DIR}/generated/lumetra.rc @ONLY)
function(lumetra_windows_program target)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated/lumetra.rc)
  target_link_libraries(${target} PRIVATE lumetra_windows_console)
  target_link_options(${target} PRIVATE -municode)
endfunction()
