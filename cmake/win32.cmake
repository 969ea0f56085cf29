# Windows build, for i686 or x86_64 by the toolchain file: WexUTIL.dll or WexUTIL64.dll,
# WexControl.exe and the end-to-end test programs that drive them under Wine.

set(WEXUTIL_WARNINGS -Wall -Wextra -Werror)

# What differs between the two: the entry point's symbol (stdcall names are
# decorated on i686 only) and the module-definition files, whose names end
# in the pointer width.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WEXUTIL_BITS 64)
  # The 32-bit and 64-bit hook libraries must have different names.
  set(WEXUTIL_DLL WexUTIL64)
  set(WEXUTIL_ENTRY DllMain)
  # x64 Windows unwinds every frame by its unwind data (.pdata): a hook
  # procedure without it would derail the unwinding of any exception raised
  # in a window procedure that a send from inside the hook ran.  The data
  # needs no runtime.
  set(WEXUTIL_UNWIND_FLAGS "")
else()
  set(WEXUTIL_BITS 32)
  set(WEXUTIL_DLL WexUTIL)
  set(WEXUTIL_ENTRY _DllMain@12)
  set(WEXUTIL_UNWIND_FLAGS -fno-asynchronous-unwind-tables -fno-unwind-tables)
endif()

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
    ${WEXUTIL_UNWIND_FLAGS}
    -fno-threadsafe-statics
    -fno-tree-loop-distribute-patterns
    -fno-stack-protector
  )
  target_link_options(${name} PRIVATE
    -nostdlib -nostartfiles
    -Wl,--entry,${WEXUTIL_ENTRY}
    -Wl,--enable-stdcall-fixup
    -Wl,--no-insert-timestamp
    -static-libgcc
  )
  target_link_libraries(${name} PRIVATE kernel32 user32 advapi32 gcc)
endfunction()
# CMake adds the Windows libraries it links by default; the library names
# only the three it needs (advapi32 for the token and object security), and
# libgcc for the few helpers GCC may call.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

wexutil_lean_dll(WexUTIL
  ${WEXUTIL_LIBRARY_SOURCES}
  src/platform/win32/os_win32.cpp
  src/platform/win32/WexUTIL${WEXUTIL_BITS}.def
)
set_target_properties(WexUTIL PROPERTIES OUTPUT_NAME ${WEXUTIL_DLL})

# ---- End-to-end tests under Wine -------------------------------------------
include(tests/e2e/e2e.cmake)

# ---- The benchmark's Wine half ---------------------------------------------
include(tests/bench/bench.cmake)

# ---- The controlling program ------------------------------------------------
wexutil_win32_program(WexControl control/wexcontrol.cpp control/names.cpp control/settings_file.cpp
  control/command_line.cpp control/reload.cpp control/tray.cpp control/kept_totals.cpp control/instance.cpp
  control/dwell.cpp control/dwell_win32.cpp control/commands.cpp control/commands_win32.cpp control/scroll.cpp
  control/overlay_win32.cpp control/pointer_marks_win32.cpp control/profiles.cpp control/profiles_win32.cpp
  src/core/programs.cpp)
target_include_directories(WexControl PRIVATE ${CMAKE_SOURCE_DIR}/control ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(WexControl PRIVATE shell32 advapi32 gdi32)
if(WEXUTIL_BITS EQUAL 32)
  # The 32-bit hooks of the 64-bit WexControl.
  wexutil_win32_program(WexCompanion control/companion.cpp)
  target_include_directories(WexCompanion PRIVATE ${CMAKE_SOURCE_DIR}/control)
endif()

# ---- What a person ships ------------------------------------------------------
# cmake --install of the x86_64 build and then of the i686 build into one
# folder gives:
#   WexControl.exe, WexUTIL64.dll, example.ini   64-bit, for 64-bit Windows
#   x86/WexUTIL.dll, x86/WexCompanion.exe        the 32-bit hooks beside them
#   x86/WexControl.exe                           the whole tool on 32-bit Windows
#   include/                                     headers for other controlling programs
if(WEXUTIL_BITS EQUAL 32)
  install(FILES $<TARGET_FILE:WexUTIL> $<TARGET_FILE:WexControl> $<TARGET_FILE:WexCompanion> DESTINATION x86)
else()
  install(FILES $<TARGET_FILE:WexUTIL> $<TARGET_FILE:WexControl> control/example.ini DESTINATION .)
  install(DIRECTORY include/ DESTINATION include)
endif()
# WexControl.exe, run as a person runs it; the test reads its files with the
# program's own reader.
wexutil_add_e2e_test(wexcontrol_test tests/e2e/wexcontrol_test.cpp control/names.cpp control/settings_file.cpp
  control/dwell.cpp control/kept_totals.cpp control/commands.cpp control/command_line.cpp)
target_include_directories(wexcontrol_test PRIVATE ${CMAKE_SOURCE_DIR}/control)
target_link_libraries(wexcontrol_test PRIVATE advapi32 comctl32)
add_dependencies(wexcontrol_test WexControl)

# ---- Random real input for minutes (scripts/soak, not part of the tests) ----
wexutil_win32_program(WexSoak tests/soak/soak.cpp)

# ---- The scripted session of the README's run command ----------------------
include(demo/demo.cmake)
