# Library sources shared by both builds: no platform code here.
set(WEXUTIL_LIBRARY_SOURCES
  src/core/shared.cpp
  src/core/notify.cpp
  src/core/exports.cpp
  src/actions/click.cpp
  src/actions/dispatcher.cpp
  src/actions/keys.cpp
  src/actions/playback.cpp
  src/actions/press_and_hold.cpp
  src/mouse/mouse_hook.cpp
  src/mouse/right_filter.cpp
  src/mouse/single_click.cpp
  src/mouse/wiggle.cpp
  src/keyboard/keyboard_hook.cpp
  src/keyboard/keyboard_mouse.cpp
  src/message/message_hook.cpp
)
