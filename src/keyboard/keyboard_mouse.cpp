#include "keyboard/keyboard_mouse.h"

int KeyboardMouseKey(WPARAM, LPARAM) { return 0; }

int IsKeyboardMouseKey(WPARAM, LPARAM) { return 0; }
