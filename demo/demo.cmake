# The demo: a small controlling program and a second program with a window.
wexutil_win32_program(WexDemo demo/controller.cpp)
wexutil_win32_program(WexDemoTarget demo/target.cpp)
