// Key injection shared by the actions and the keyboard mouse: every key goes
// into the system input stream with keybd_event, scan code 0 and no extra
// information, so it meets the hooks again like a real keystroke.
#pragma once

#include "core/shared.h"
#include "platform/os.h"

// Injects one key press or release, counted as the library's own until its
// keystroke comes to the key rows (TakeOwnKey).
void InjectKey(int vk, bool up);

// Called by the keyboard hook for each keystroke that comes to the key rows:
// true when it is a press (or release) of a key the library injected a
// press (release) of within the last second, which is then no longer
// counted.  Keystrokes are matched to injections by count, not one by one: a
// person's press of that key coming first takes the count instead, and the
// injected press after it counts as the person's, which comes to the same.
// A keystroke that an earlier stage ate (the keyboard mouse, the pause)
// leaves its count to run out.  The count is read in line: a key the
// library did not type costs one load.
bool TakeOwnCount(uint8_t& count);
inline bool TakeOwnKey(WPARAM vk, bool release) {
    uint8_t& count = (release ? Shared().ownReleases : Shared().ownPresses)[vk & 0xFF];
    return count != 0 && TakeOwnCount(count);
}

// Presses and releases one key with a 200 ms hold between.  Returns 1.
int TapKey(int vk);

// Lets Alt up if it is down, so that an injected chord is not read as an Alt
// chord by the application.
void ReleaseAltIfDown();

// Brings one key to the state the phase asks for: down for release 0, up for
// any other value.  Injects nothing when the key is already there, so a key
// the user holds is not pressed twice and a key already up is not released
// again.
void SetKeyDown(int vk, int release);
