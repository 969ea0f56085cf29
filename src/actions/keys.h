// Key injection shared by the actions: every key goes into the system input
// stream with keybd_event, scan code 0 and no extra information, so it meets
// the hooks again like a real keystroke.
#pragma once

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
