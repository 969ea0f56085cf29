# The Wine half of the per-event cost benchmark (scripts/bench runs it): a
# hook library that does nothing, built like WexUTIL.dll, and the program
# that times the same input stream with no hooks, with it and with WexUTIL.
wexutil_lean_dll(WexEmptyHooks tests/bench/empty_hooks.cpp tests/bench/empty_hooks${WEXUTIL_BITS}.def)
wexutil_win32_program(WexBench tests/bench/wine_bench.cpp)
target_include_directories(WexBench PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/e2e)
add_dependencies(WexBench WexEmptyHooks)
# WexControl's own CPU time with dwell off and on, at rest and moving.
wexutil_win32_program(WexControlCost tests/bench/control_cost.cpp)
target_include_directories(WexControlCost PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/e2e)
add_dependencies(WexControlCost WexControl)
