# The README's run command: a scripted session that starts WexControl and
# works a real program with real input.  It drives input the way the
# end-to-end programs do, with their helpers.
wexutil_win32_program(WexSession demo/session.cpp)
target_include_directories(WexSession PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_SOURCE_DIR}/control)
target_link_libraries(WexSession PRIVATE gdi32)
add_dependencies(WexSession WexControl)
