# The fuzz target: hook procedures and exports on the simulated desktop.
add_executable(hooks_fuzzer tests/fuzz/hooks_fuzzer.cpp)
target_include_directories(hooks_fuzzer PRIVATE tests)
target_compile_options(hooks_fuzzer PRIVATE ${WEXUTIL_WARNINGS})
target_link_libraries(hooks_fuzzer PRIVATE wexutil_host)
target_link_options(hooks_fuzzer PRIVATE -fsanitize=fuzzer)
