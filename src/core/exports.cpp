// The library's surface toward the controlling program: entry point, hook
// lifecycle and the copying of records in and out of the shared section.
#include "core/exports.h"

#include "actions/dispatcher.h"
#include "actions/playback.h"
#include "core/shared.h"
#include "keyboard/keyboard_mouse.h"

namespace {

// Records are copied as 32-bit words in order.  A null address from the
// controlling program is ignored rather than faulting in its process.
void CopyWords(void* destination, const void* source, unsigned words) {
    volatile uint32_t* to = static_cast<volatile uint32_t*>(destination);
    const volatile uint32_t* from = static_cast<const volatile uint32_t*>(source);
    for (unsigned i = 0; i < words; ++i) to[i] = from[i];
}

// Copies a remembered string into a caller's buffer: at most 39 bytes, always
// terminated, even if the shared copy was somehow left unterminated.
void CopyRememberedString(char* destination, const char* source) {
    int i = 0;
    for (; i < 38 && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
}

HHOOK InstallOne(int type, HOOKPROC procedure) {
    return os::SetWindowsHookExA(type, procedure, Proc().moduleInstance, 0);
}

// Lets up every key and button the library holds down: what held rows
// pressed, the keyboard mouse's buttons (its lock too), the left press the
// right-button filter injected, the Ctrl and left button of a Ctrl-click;
// a playback still waiting is finished first.  Without its hooks the
// library would never see the releases that end them, and the shared state
// outlives any one controlling program.
void LetUpEverything() {
    SettlePlayback();
    Binding* const table = Shared().settings.bindings;
    const int rows = UsedBindingRows();
    for (int i = 0; i < rows; ++i) {
        if (table[i].held == 0) continue;
        const Binding row = table[i];
        table[i].held = 0;
        if (HoldsKeysDown(row.action)) ExecuteAction(row.action, row.parameter, 1);
    }
    // A Ctrl-click whose row went with a replaced table.
    if (Shared().ctrlClickDown != 0) ExecuteAction(ACTION_CTRL_CLICK, 0, 1);
    ReleaseKeyboardMouseButtons(true);
    if (Shared().filterPresses[0] != 0 || Shared().filterPresses[1] != 0) {
        Shared().filterPresses[0] = 0;
        Shared().filterPresses[1] = 0;
        if (os::GetAsyncKeyState(VK_LBUTTON) < 0) os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
    Shared().swallowMessage = 0;
    Shared().skipNextButtonUp = 0;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    Proc().moduleInstance = module;
    // The shared state is mapped at load.  At process exit (reserved set)
    // nothing is let go: the process's address space goes with it.
    if (reason == DLL_PROCESS_ATTACH) MapShared();
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) UnmapShared();
    return TRUE;
}

extern "C" int WINAPI InstallHook(HWND window, int ignored) {
    (void)ignored;
    // Without the shared state the hooks could only pass everything on.
    if (!MapShared()) return 0;
    Shared().notifyWindow = ToHandle32(window);
    Shared().wheelMessage = os::RegisterWindowMessageA("MSWHEEL_ROLLMSG");
    // Installing afresh: whatever a controlling program that ended without
    // RemoveHook left held is let up first.
    if (g_image.mouseHook == nullptr && g_image.keyboardHook == nullptr && g_image.messageHook == nullptr)
        LetUpEverything();
    // Mouse, keyboard, message: a failure stops here and keeps what is in
    // place, so a later call installs only what is missing.  The hooks are
    // this build's own: a library of the other bitness installs its own set.
    if (g_image.mouseHook == nullptr) {
        g_image.mouseHook = InstallOne(WH_MOUSE, MouseProc);
        if (g_image.mouseHook == nullptr) return 0;
    }
    if (g_image.keyboardHook == nullptr) {
        g_image.keyboardHook = InstallOne(WH_KEYBOARD, KeyboardProc);
        if (g_image.keyboardHook == nullptr) return 0;
    }
    if (g_image.messageHook == nullptr) {
        g_image.messageHook = InstallOne(WH_GETMESSAGE, GetMsgProc);
        if (g_image.messageHook == nullptr) return 0;
    }
    return 1;
}

extern "C" void WINAPI RemoveHook(void) {
    HHOOK* slots[] = {&g_image.mouseHook, &g_image.keyboardHook, &g_image.messageHook};
    bool removed = false;
    for (HHOOK* slot : slots) {
        if (*slot != nullptr) {
            os::UnhookWindowsHookEx(*slot);
            *slot = nullptr;
            removed = true;
        }
    }
    // The hooks go first, so that the releases below run no binding here.
    if (removed && MapShared()) LetUpEverything();
}

extern "C" void GetSettings(HookSettings* destination) {
    if (destination == nullptr || !MapShared()) return;
    CopyWords(destination, &Shared().settings, sizeof(HookSettings) / 4);
}

namespace {

bool SameRow(const Binding& a, const Binding& b) {
    return a.action == b.action && a.parameter == b.parameter && a.trigger == b.trigger &&
           a.modifiers == b.modifiers;
}

// The keys the keyboard mouse works from: -1 when it is off.
int KeyboardMouseScheme() {
    return Shared().settings.keyboardMouse != 0 ? Shared().settings.keyboardMouseKeys : -1;
}

}  // namespace

extern "C" void UpdateSettings(const HookSettings* source) {
    if (source == nullptr || !MapShared()) return;
    // The rows whose press ran, as they are before the copy.
    Binding held[WEXUTIL_BINDING_ROWS];
    int heldAt[WEXUTIL_BINDING_ROWS];
    int heldRows = 0;
    const int before = UsedBindingRows();
    const int schemeBefore = KeyboardMouseScheme();
    for (int i = 0; i < before; ++i) {
        if (Shared().settings.bindings[i].held != 1) continue;
        held[heldRows] = Shared().settings.bindings[i];
        heldAt[heldRows++] = i;
    }
    ClearFirstRows();
    CopyWords(&Shared().settings, source, sizeof(HookSettings) / 4);
    // A controlling program pushes its settings when the display changes
    // (it gets WM_DISPLAYCHANGE, which is sent, never queued, and so passes
    // no hook of this library): every process reads the screen size again.
    DisplayChanged();
    Shared().holdButtons = 0;
    Shared().holdButtons = ComputeHoldButtons();
    ComputeFirstRows();
    // Buttons the keyboard mouse holds until a key's release that it would no
    // longer handle go up now.
    if (KeyboardMouseScheme() != schemeBefore) ReleaseKeyboardMouseButtons(false);
    // The pause's pending swallow ends with the pause: its release may come
    // where no hook sees it, and would eat a later one.
    if (Shared().settings.pauseLock == 0) Shared().swallowMessage = 0;
    // `held` is the library's own record of a press it consumed: a row in
    // use never arrives held from the controlling program (a row it marked
    // held would eat the release of a press that reached its window).  A
    // held row that the new table keeps in its place stays held, so that
    // its trigger's release still ends it.  Any other would never see that
    // release: if its press left keys or the left button down, they are let
    // up now rather than left stuck.
    const int after = UsedBindingRows();
    for (int i = 0; i < after; ++i) Shared().settings.bindings[i].held = 0;
    for (int k = 0; k < heldRows; ++k) {
        Binding& row = Shared().settings.bindings[heldAt[k]];
        if (heldAt[k] < after && SameRow(row, held[k])) {
            row.held = 1;
        } else if (HoldsKeysDown(held[k].action)) {
            ExecuteAction(held[k].action, held[k].parameter, 1);
        }
    }
}

extern "C" void GetStatistics(HookStatistics* destination) {
    if (destination == nullptr || !MapShared()) return;
    CopyWords(destination, &Shared().statistics, offsetof(HookStatistics, distance) / 4);
    destination->distance = LoadDistance();
}

extern "C" void SetStatistics(const HookStatistics* source) {
    if (source == nullptr || !MapShared()) return;
    CopyWords(&Shared().statistics, source, offsetof(HookStatistics, distance) / 4);
    StoreDistance(source->distance);
}

extern "C" void GetRememberedWindow(char* className, char* title, WexPoint* point) {
    if (!MapShared()) return;
    if (className != nullptr) CopyRememberedString(className, Shared().rememberedClass);
    if (title != nullptr) CopyRememberedString(title, Shared().rememberedTitle);
    if (point != nullptr) {
        point->x = Shared().rememberedPoint.x;
        point->y = Shared().rememberedPoint.y;
    }
}

extern "C" BOOL WINAPI LeftStillDown(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    (void)message;
    (void)time;
    return os::KillTimer(window, timerId);
}
