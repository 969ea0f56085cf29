# Win32 build: WexUTIL.dll for i686 and the end-to-end test programs that
# drive it under Wine.

set(WEXUTIL_WARNINGS -Wall -Wextra -Werror)

# ---- The library -----------------------------------------------------------
# Lean on purpose: it is mapped into every process that gets input.  No C or
# C++ runtime (no heap, no exceptions, no RTTI, no static constructors, no
# TLS); the entry point is DllMain itself.  GCC must not turn loops into
# memcpy/memset calls, since nothing provides them.
function(wexutil_lean_dll name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
  )
  target_include_directories(${name} PRIVATE include src)
  target_compile_options(${name} PRIVATE
    ${WEXUTIL_WARNINGS}
    -O2
    -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-threadsafe-statics
    -fno-tree-loop-distribute-patterns
    -fno-stack-protector
  )
  target_link_options(${name} PRIVATE
    -nostdlib -nostartfiles
    -Wl,--entry,_DllMain@12
    -Wl,--enable-stdcall-fixup
    -Wl,--no-insert-timestamp
    -static-libgcc
  )
  target_link_libraries(${name} PRIVATE kernel32 user32 gcc)
endfunction()
# CMake adds the Windows libraries it links by default; the library names
# only the two it needs, and libgcc for the few helpers GCC may call.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

wexutil_lean_dll(WexUTIL
  ${WEXUTIL_LIBRARY_SOURCES}
  src/platform/win32/os_win32.cpp
  src/platform/win32/WexUTIL.def
)

# ---- End-to-end tests under Wine -------------------------------------------
include(tests/e2e/e2e.cmake)

# ---- The benchmark's Wine half ---------------------------------------------
include(tests/bench/bench.cmake)

# ---- The controlling program ------------------------------------------------
wexutil_win32_program(WexControl control/wexcontrol.cpp control/names.cpp control/settings_file.cpp)
target_include_directories(WexControl PRIVATE ${CMAKE_SOURCE_DIR}/control)
# WexControl.exe, run as a person runs it; the test reads its files with the
# program's own reader.
wexutil_add_e2e_test(wexcontrol_test tests/e2e/wexcontrol_test.cpp control/names.cpp control/settings_file.cpp)
target_include_directories(wexcontrol_test PRIVATE ${CMAKE_SOURCE_DIR}/control)
add_dependencies(wexcontrol_test WexControl)

# ---- The scripted session of the README's run command ----------------------
include(demo/demo.cmake)
