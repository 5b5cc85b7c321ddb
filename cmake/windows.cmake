# The Windows build (cmake/mingw-w64-x86_64.cmake): the platform layer from
# the units of platform/ and platform/windows/. Programs use the real console
# (lumetra_windows_console), lumetra.exe with its own entry point
# (lumetra_windows_program); the unit tests use the console model of
# platform/terminal_console behind the test console (lumetra_model_console),
# as on Linux, without its terminal parts. Both are object libraries, linked
# into each program that needs one of them. Every program runs through wine,
# in a prefix inside the build folder.
set(LUMETRA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run;${LUMETRA_WINE_PREFIX})

set(platform ${PROJECT_SOURCE_DIR}/src/platform)
add_library(lumetra_platform STATIC
  ${platform}/code_page_850.cpp
  ${platform}/crt_number.cpp
  ${platform}/crt_stream.cpp
  ${platform}/file_io.cpp
  ${platform}/memory.cpp
  ${platform}/process.cpp
  ${platform}/processor.cpp
  ${platform}/windows/console_control.cpp
  ${platform}/windows/console_window.cpp
  ${platform}/windows/fault_filter.cpp
  ${platform}/windows/help_conventions.cpp
  ${platform}/windows/path_names.cpp
  ${platform}/windows/process.cpp
  ${platform}/windows/standard_input.cpp
  ${platform}/windows/standard_streams.cpp
  ${platform}/windows/stream_calls.cpp
  ${platform}/windows/user_console.cpp
  ${platform}/windows/wide_arguments.cpp)
target_include_directories(lumetra_platform PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lumetra_platform PUBLIC Threads::Threads)

add_library(lumetra_windows_console OBJECT ${platform}/windows/console_api.cpp)
target_include_directories(lumetra_windows_console PUBLIC ${PROJECT_SOURCE_DIR}/src)

# lumetra_windows_program(<target>): the program on the real console, entered
# at wmain (-municode), with the version resource of cmake/lumetra.rc.in.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/lumetra.rc.in ${PROJECT_BINARY_DIR}/generated/lumetra.rc @ONLY)
function(lumetra_windows_program target)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated/lumetra.rc)
  target_link_libraries(${target} PRIVATE lumetra_windows_console)
  target_link_options(${target} PRIVATE -municode)
endfunction()

set(model ${platform}/terminal_console)
add_library(lumetra_model_console OBJECT
  ${model}/console_api.cpp
  ${model}/console_host.cpp
  ${model}/console_model.cpp
  ${model}/fd_io.cpp
  ${model}/key_layout.cpp
  ${model}/key_map.cpp
  ${model}/terminal_charset.cpp
  ${model}/terminal_renderer.cpp
  ${model}/test_console.cpp
  ${platform}/windows/detached_console_host.cpp)
target_include_directories(lumetra_model_console PUBLIC ${PROJECT_SOURCE_DIR}/src)
