// Readable names for what the controlling program reads and writes: keys
// and triggers, modifiers, actions, notifications and captured input.
// Plain C++ without Win32 calls, so that the host tests cover it.
#pragma once

#include <string>

#include "records.h"

namespace control {

// Text helpers of the settings file and the commands: blanks off both ends;
// lower case (ASCII); lower case with runs of blanks made one space, ends
// trimmed.
std::string Trim(const std::string& s);
std::string Lower(std::string s);
std::string Fold(const std::string& text);

// A trigger in words: "left", "hold right", "chord left middle", "wheel",
// "F9", "Numpad5", or "vk 0x88" for a key code without a name.
std::string TriggerName(int trigger);
// The trigger that a text names (case and spacing do not matter), or -1.
// Keys can also be given by code: "vk 136", "vk 0x88" (1 to 255).
int ParseTrigger(const std::string& text);

// A key's name ("F9", "A", "Numpad5", "ArrowLeft"), or "vk 0x88".
std::string KeyName(int vk);
// The key a name or "vk N" gives (as KeyName spells it, any case), or -1;
// the mouse buttons and the other triggers are not keys.
int ParseKeyName(const std::string& text);

// "ACTION_COPY", or the number when the code has no name.
std::string ActionName(int action);
// The action code a name gives (with or without "ACTION_", any case), or -1.
int ParseAction(const std::string& text);

// A modifier bit (MODIFIER_SHIFT, ...) from "Shift", "Ctrl", "Control" or
// "Alt" (any case), or 0.
int ParseModifier(const std::string& text);
// " + Shift + Ctrl" for a mask, "" for 0.
std::string ModifierSuffix(int modifiers);

// A notification in words: "NOTIFY_BUTTON left press",
// "NOTIFY_HOLD_STARTED right", "NOTIFY_PAUSE release".
std::string NotificationText(unsigned code, long argument);
// Captured input in words: "WM_HOOK_CAPTURE WM_KEYDOWN F9",
// "WM_HOOK_CAPTURE WM_LBUTTONDOWN (300, 200)".
std::string CaptureText(unsigned message, long argument);

}  // namespace control
