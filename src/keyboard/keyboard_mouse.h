// The keyboard mouse: the cursor moved and its buttons worked from the keyboard.
#pragma once

#include "platform/os.h"

// Called by the keyboard hook for every keystroke while keyboardMouse is on;
// 1 when the keystroke was consumed and must be eaten.
int KeyboardMouseKey(WPARAM vk, LPARAM lParam);
// 1 when the key belongs to the active key scheme.
int IsKeyboardMouseKey(WPARAM vk, LPARAM lParam);
// Lets up the buttons that the click key, keypad star, a Ctrl+A drag and
// Ctrl+Z hold down until a release the keyboard mouse would handle: for when
// it is switched off or to other keys while one is held.  The keypad's
// button lock (0 or Insert) holds on purpose and stays, unless lockToo (the
// hooks are going, and the unlock key with them).
void ReleaseKeyboardMouseButtons(bool lockToo);
// A keystroke in a program whose keyboard mouse works with `scheme` (plus 1,
// 0 off) while the last one came where it worked otherwise: its buttons go
// up, the lock too where it is off (no key there could let it go).
void FollowKeyboardMouseScheme(int32_t scheme);
