// The keyboard mouse: the cursor moved and its buttons worked from the keyboard.
#pragma once

#include "platform/os.h"

// Called by the keyboard hook for every keystroke while keyboardMouse is on;
// 1 when the keystroke was consumed and must be eaten.
int KeyboardMouseKey(WPARAM vk, LPARAM lParam);
// 1 when the key belongs to the active key scheme.
int IsKeyboardMouseKey(WPARAM vk, LPARAM lParam);
