# Compiler flags of the fuzzing build, set before any target is made.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "WEXUTIL_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer -g)
add_compile_definitions(WEXUTIL_TABLE_GUARD=64)
add_link_options(-fsanitize=address,undefined)
