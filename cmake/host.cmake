# Host build: the library against the simulated desktop, with GoogleTest.
option(WEXUTIL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(WEXUTIL_WARNINGS -Wall -Wextra -Werror)
if(WEXUTIL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The libFuzzer build (clang only): the library and the simulated desktop
# with coverage, AddressSanitizer and UndefinedBehaviorSanitizer, a guard
# after the binding table, and the fuzz target instead of the tests.
option(WEXUTIL_FUZZ "Build the libFuzzer target (needs clang)" OFF)
if(WEXUTIL_FUZZ)
  include(cmake/fuzz_flags.cmake)
endif()

# For the benchmark's host half alone (target wexutil_bench): scripts/bench
# builds it for 32-bit x86 (-m32), the product's instruction set, where no
# 32-bit GoogleTest is at hand.  The tests are defined but never built.
option(WEXUTIL_BENCH_ONLY "Configure for building only wexutil_bench" OFF)

find_package(GTest QUIET)
if(NOT GTest_FOUND AND NOT WEXUTIL_BENCH_ONLY)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
if(WEXUTIL_BENCH_ONLY AND NOT TARGET GTest::gtest)
  add_library(GTest::gtest INTERFACE IMPORTED)
  add_library(GTest::gtest_main INTERFACE IMPORTED)
endif()

add_library(wexutil_host STATIC
  ${WEXUTIL_LIBRARY_SOURCES}
  src/platform/sim/controls.cpp
  src/platform/sim/desktop.cpp
  src/platform/sim/journal.cpp
  src/platform/sim/kernel_objects.cpp
  src/platform/sim/keyboard_input.cpp
  src/platform/sim/mouse_input.cpp
  src/platform/sim/os_sim.cpp
  src/platform/sim/thread_queue.cpp
)
target_include_directories(wexutil_host PUBLIC include src)
target_compile_options(wexutil_host PRIVATE ${WEXUTIL_WARNINGS})

if(WEXUTIL_FUZZ)
  include(cmake/fuzz.cmake)
  return()
endif()

# One test executable per subsystem.
function(wexutil_host_test name)
  add_executable(${name} ${ARGN} tests/support/sim_test.cpp)
  target_include_directories(${name} PRIVATE tests)
  target_compile_options(${name} PRIVATE ${WEXUTIL_WARNINGS})
  target_link_libraries(${name} PRIVATE wexutil_host GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# The controlling program's settings and statistics files and the names it
# logs by: plain C++, so it is tested here too.
add_library(wexcontrol_files STATIC control/names.cpp control/settings_file.cpp control/command_line.cpp
  control/reload.cpp control/kept_totals.cpp control/instance.cpp control/dwell.cpp control/commands.cpp control/scroll.cpp
  control/profiles.cpp src/core/programs.cpp)
target_include_directories(wexcontrol_files PUBLIC include src control)
target_compile_options(wexcontrol_files PRIVATE ${WEXUTIL_WARNINGS})

add_executable(control_tests tests/control/settings_file_test.cpp tests/control/names_test.cpp
  tests/control/program_test.cpp tests/control/dwell_test.cpp tests/control/commands_test.cpp)
target_compile_definitions(control_tests PRIVATE WEXCONTROL_EXAMPLE="${CMAKE_SOURCE_DIR}/control/example.ini")
target_compile_options(control_tests PRIVATE ${WEXUTIL_WARNINGS})
target_link_libraries(control_tests PRIVATE wexcontrol_files GTest::gtest GTest::gtest_main)
add_test(NAME control_tests COMMAND control_tests)

wexutil_host_test(core_tests
  tests/core/records_test.cpp
  tests/core/lifecycle_test.cpp
  tests/core/notify_test.cpp
  tests/core/stuck_keys_test.cpp
  tests/core/profiles_test.cpp
  tests/core/bad_input_test.cpp
)

wexutil_host_test(actions_tests
  tests/actions/click_test.cpp
  tests/actions/dispatcher_test.cpp
  tests/actions/press_and_hold_test.cpp
)

wexutil_host_test(mouse_tests
  tests/mouse/pipeline_test.cpp
  tests/mouse/stages_test.cpp
)

wexutil_host_test(mouse_stage_tests
  tests/mouse/single_click_test.cpp
  tests/mouse/wiggle_test.cpp
  tests/mouse/right_filter_test.cpp
  tests/mouse/stage_pipeline_test.cpp
)

wexutil_host_test(keyboard_tests
  tests/keyboard/keyboard_test.cpp
)

wexutil_host_test(message_tests
  tests/message/message_test.cpp
)

wexutil_host_test(keyboard_mouse_tests
  tests/actions/playback_test.cpp
  tests/keyboard/keyboard_mouse_test.cpp
  tests/keyboard/keyboard_mouse_hook_test.cpp
)

# The per-event cost benchmark's host half (scripts/bench runs it under
# callgrind); the test checks its platform-call target.
add_executable(wexutil_bench tests/bench/host_bench.cpp tests/bench/host_empty_hook.cpp)
target_compile_options(wexutil_bench PRIVATE ${WEXUTIL_WARNINGS})
target_include_directories(wexutil_bench PRIVATE tests)
target_link_libraries(wexutil_bench PRIVATE wexutil_host)
add_test(NAME bench_platform_calls COMMAND wexutil_bench check)
