# End-to-end tests: Windows programs that drive the real WexUTIL.dll under
# Wine.  Each program is one CTest entry, run through scripts/wine-run in a
# Wine prefix and on a virtual display that the e2e_wine_up fixture prepares
# once per ctest run (a fresh prefix of this build's bitness under the build
# folder) and e2e_wine_down tears down again.

# GoogleTest from the Debian sources, built with the cross compiler and
# linked statically, so that no runtime DLL has to be found under Wine.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(WEXUTIL_E2E_DIR ${CMAKE_BINARY_DIR}/e2e-wine CACHE PATH "Wine prefix and display state of the e2e run")
set(WEXUTIL_E2E_TIMEOUT 240 CACHE STRING "Seconds one e2e program may run under Wine")
set(WEXUTIL_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)
set(WEXUTIL_WINE_ENV ${CMAKE_SOURCE_DIR}/scripts/wine-env)

# Win32 programs that use the library as a controlling program would: only
# through include/wexutil.h.
function(wexutil_win32_program name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/include)
  target_compile_options(${name} PRIVATE ${WEXUTIL_WARNINGS})
  target_link_options(${name} PRIVATE -static)
  target_link_libraries(${name} PRIVATE user32 gdi32 kernel32)
  add_dependencies(${name} WexUTIL)
endfunction()

# wexutil_add_e2e_test(name source...): a GoogleTest program run under Wine
# as one CTest entry.  Give it a main() of its own when it starts children of
# itself; otherwise gtest_main supplies one.
function(wexutil_add_e2e_test name)
  wexutil_win32_program(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e)
  set(has_main FALSE)
  foreach(source ${ARGN})
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${source} text)
    if(text MATCHES "int main\\(")
      set(has_main TRUE)
    endif()
  endforeach()
  if(has_main)
    target_link_libraries(${name} PRIVATE gtest)
  else()
    target_link_libraries(${name} PRIVATE gtest gtest_main)
  endif()
  add_test(NAME ${name}
    COMMAND ${WEXUTIL_WINE_RUN} ${WEXUTIL_E2E_DIR} ${WEXUTIL_E2E_TIMEOUT}
            $<TARGET_FILE:${name}> --gtest_color=no)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK wine-desktop
    TIMEOUT 600
    LABELS e2e)
endfunction()

add_test(NAME e2e_wine_up COMMAND ${WEXUTIL_WINE_ENV} up ${WEXUTIL_E2E_DIR} win${WEXUTIL_BITS})
add_test(NAME e2e_wine_down COMMAND ${WEXUTIL_WINE_ENV} down ${WEXUTIL_E2E_DIR})
set_tests_properties(e2e_wine_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 600 LABELS e2e)
set_tests_properties(e2e_wine_down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 120 LABELS e2e)

# The built file itself, read on this machine without Wine.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME dll_image_file
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/check_dll_image.py ${WEXUTIL_BITS} $<TARGET_FILE:WexUTIL>)

# The shortest input scripts/soak found that held a program's input thread
# for good (keypad 0 locks the left button, Shift, the click key: a left
# Ctrl-click row met its own click again and again).  WexSoak replays it and
# checks that every event was handled within a second and nothing was left
# down; the program's exit status is the test's.
add_test(NAME soak_replay
  COMMAND ${WEXUTIL_WINE_RUN} ${WEXUTIL_E2E_DIR} 120 $<TARGET_FILE:WexSoak> --replay "k+60 k+10 k+0C")
set_tests_properties(soak_replay PROPERTIES
  FIXTURES_REQUIRED wine RESOURCE_LOCK wine-desktop TIMEOUT 300 LABELS e2e)

wexutil_add_e2e_test(controller_test tests/e2e/controller_test.cpp)
wexutil_add_e2e_test(dll_image_test tests/e2e/dll_image_test.cpp)
wexutil_add_e2e_test(hook_injection_test tests/e2e/hook_injection_test.cpp)
wexutil_add_e2e_test(actions_test tests/e2e/actions_test.cpp)
target_link_libraries(actions_test PRIVATE comctl32)
wexutil_add_e2e_test(mouse_test tests/e2e/mouse_test.cpp)
wexutil_add_e2e_test(keyboard_test tests/e2e/keyboard_test.cpp)
wexutil_add_e2e_test(message_test tests/e2e/message_test.cpp)
wexutil_add_e2e_test(keyboard_mouse_test tests/e2e/keyboard_mouse_test.cpp)
wexutil_add_e2e_test(many_processes_test tests/e2e/many_processes_test.cpp)
wexutil_add_e2e_test(stages_test tests/e2e/stages_test.cpp)
target_link_libraries(stages_test PRIVATE comctl32)

# ---- 32-bit and 64-bit programs at once ------------------------------------
# The x86_64 build is given the i686 build's bin folder (WEXUTIL_X86_BIN):
# the 32-bit library, the companion, the 32-bit WexControl and the 32-bit
# side of the mixed test are copied to bin/x86, which makes bin the layout a
# person ships, and the mixed test (label "mixed") runs them beside the
# 64-bit ones in one 64-bit Wine prefix.
set(WEXUTIL_X86_BIN "" CACHE PATH "bin folder of the i686 build, for bin/x86 and the mixed test")
if(WEXUTIL_BITS EQUAL 32)
  wexutil_win32_program(mixed_test tests/e2e/mixed_test.cpp)
  target_include_directories(mixed_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e)
  target_link_libraries(mixed_test PRIVATE gtest)
elseif(WEXUTIL_X86_BIN)
  set(x86_files WexUTIL.dll WexCompanion.exe WexControl.exe mixed_test.exe)
  list(TRANSFORM x86_files PREPEND ${WEXUTIL_X86_BIN}/)
  add_custom_target(x86_programs ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/x86
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${x86_files} ${CMAKE_BINARY_DIR}/bin/x86/
    COMMENT "Copying the i686 build's programs to bin/x86")
  wexutil_add_e2e_test(mixed_test tests/e2e/mixed_test.cpp)
  add_dependencies(mixed_test x86_programs WexControl)
  set_tests_properties(mixed_test PROPERTIES LABELS "e2e;mixed")
endif()
