/*
 * wexutil.h - public interface of WexUTIL.dll and WexUTIL64.dll for
 * controlling programs.
 *
 * Usable from C and C++, with MinGW or MSVC.  A controlling program loads
 * WexUTIL.dll (32-bit) or WexUTIL64.dll (64-bit), pushes a HookSettings record with UpdateSettings, calls
 * InstallHook with the window that is to receive WM_HOOK_NOTIFY and
 * WM_HOOK_CAPTURE, and calls RemoveHook when it is done.
 *
 * Every record is made of 32-bit little-endian words (plus one 64-bit
 * float) at fixed offsets; the layouts below are the interface.
 */
#ifndef WEXUTIL_H
#define WEXUTIL_H

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Records ---------------------------------------------------------- */

#define WEXUTIL_BINDING_ROWS 30

/* One row of the binding table (20 bytes). */
typedef struct Binding {
    int action;    /* ActionCode, 0..44 */
    int parameter; /* argument of the action (action 22 only) */
    int trigger;   /* TriggerCode that fires the row */
    int modifiers; /* ModifierMask that must match exactly */
    int held;      /* run-time: 1 while a button press has run the row */
} Binding;

/* The settings record (716 bytes). */
typedef struct HookSettings {
    int captureMode;                        /* 0x000 */
    int copyWatch;                          /* 0x004 */
    int copySeen;                           /* 0x008 */
    int cornerAEnabled;                     /* 0x00C */
    int cornerAPosition;                    /* 0x010 */
    int action29Bypass;                     /* 0x014 */
    int rightButtonFilter;                  /* 0x018 */
    int wiggleDetect;                       /* 0x01C */
    int clickWiggleSensitivity;             /* 0x020 */
    int moveWiggleSensitivity;              /* 0x024 */
    int rememberButtonClicks;               /* 0x028 */
    int reserved1;                          /* 0x02C, carried unchanged */
    int edgeWrap;                           /* 0x030 */
    int edgeWrapEdges;                      /* 0x034: 1 bottom, 2 top, 4 left, 8 right */
    int edgeWrapNeedsShift;                 /* 0x038 */
    int trackDistance;                      /* 0x03C */
    int keyboardMouse;                      /* 0x040 */
    int keyboardMouseKeys;                  /* 0x044 */
    int keyboardMouseAccel;                 /* 0x048 */
    int keyboardMouseStep;                  /* 0x04C */
    int cornerB;                            /* 0x050 */
    int typingWatch;                        /* 0x054 */
    int bindingCount;                       /* 0x058: rows in use, 0..30 */
    Binding bindings[WEXUTIL_BINDING_ROWS]; /* 0x05C */
#ifdef WEXUTIL_TABLE_GUARD
    /* The fuzzing build only: bytes after the table that the fuzzer poisons,
     * so that a read of a row past the last one faults.  Never defined in a
     * build that talks to a controlling program. */
    char tableGuard[WEXUTIL_TABLE_GUARD];
#endif
    int reserved2;                          /* 0x2B4, carried unchanged */
    int singleClickDesktop;                 /* 0x2B8 */
    int singleClickFolders;                 /* 0x2BC */
    int singleClickTrees;                   /* 0x2C0 */
    int vendorWheel;                        /* 0x2C4 */
    int pauseLock;                          /* 0x2C8 */
} HookSettings;

/* The statistics record (48 bytes). Counters wrap at 2^32. */
typedef struct HookStatistics {
    unsigned int leftClicks;       /* 0x00 */
    unsigned int rightClicks;      /* 0x04 */
    unsigned int doubleClicks;     /* 0x08 */
    unsigned int keystrokes;       /* 0x0C */
    unsigned int singleClickOpens; /* 0x10 */
    unsigned int edgeWraps;        /* 0x14 */
    unsigned int reserved[4];      /* 0x18, carried unchanged */
    double distance;               /* 0x28: cursor travel in pixels */
} HookStatistics;

/* One per-program profile as UpdateProfiles takes it (1744 bytes).
 * programs: the patterns of the programs it is for, UTF-16, each ended by
 * a 0 and the list by an empty one: a program file name ("notepad.exe") or
 * a full path, with * for any run of characters and ? for one, compared
 * without regard to case (A-Z and the Latin-1 letters).  A pattern with no
 * backslash is compared with the file name alone.
 * settings: the whole record those programs use.  The fields that apply to
 * the whole desktop are taken from the default record whatever the profile
 * holds: captureMode, copyWatch, copySeen, wiggleDetect,
 * clickWiggleSensitivity, moveWiggleSensitivity, trackDistance,
 * typingWatch, pauseLock, edgeWrap, edgeWrapEdges and edgeWrapNeedsShift. */
#define WEXUTIL_PROFILES 16
#define WEXUTIL_PROGRAMS_CHARS 514
typedef struct WexProfile {
    unsigned short programs[WEXUTIL_PROGRAMS_CHARS];
    HookSettings settings;
} WexProfile;

/* A point as GetRememberedWindow fills it: two 32-bit ints. */
typedef struct WexPoint {
    int x;
    int y;
} WexPoint;

#if defined(WEXUTIL_TABLE_GUARD)
/* The fuzzing build's record is larger by the guard. */
#elif defined(__cplusplus) && __cplusplus >= 201103L
static_assert(sizeof(Binding) == 20, "Binding is 20 bytes");
static_assert(sizeof(HookSettings) == 716, "HookSettings is 716 bytes");
static_assert(sizeof(HookStatistics) == 48, "HookStatistics is 48 bytes");
static_assert(sizeof(WexProfile) == 1744, "WexProfile is 1744 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(Binding) == 20, "Binding is 20 bytes");
_Static_assert(sizeof(HookSettings) == 716, "HookSettings is 716 bytes");
_Static_assert(sizeof(HookStatistics) == 48, "HookStatistics is 48 bytes");
_Static_assert(sizeof(WexProfile) == 1744, "WexProfile is 1744 bytes");
#endif

/* ---- Trigger codes ---------------------------------------------------- */
/* Mouse buttons and keys use their virtual-key codes (1 left, 2 right,
 * 4 middle, any key).  Inputs without a virtual key use these: */
#define TRIGGER_EXTRA_BUTTON_BIT4 245  /* 0x1400/0x1401 with lParam bit 4 */
#define TRIGGER_EXTRA_BUTTON 246       /* 0x1400/0x1401 without it */
#define TRIGGER_CHORD_RIGHT_MIDDLE 247 /* middle while right down, left up */
#define TRIGGER_CHORD_LEFT_MIDDLE 248  /* middle while left down */
#define TRIGGER_HOLD_MIDDLE 250
#define TRIGGER_HOLD_RIGHT 251
#define TRIGGER_HOLD_LEFT 252
#define TRIGGER_VENDOR_BUTTON 253    /* message 0x8C5 */
#define TRIGGER_CHORD_LEFT_RIGHT 254 /* right while left down */
#define TRIGGER_WHEEL 255

/* ---- Modifier mask ---------------------------------------------------- */
#define MODIFIER_SHIFT 1
#define MODIFIER_CTRL 2
#define MODIFIER_ALT 4

/* ---- Action codes ----------------------------------------------------- */
enum {
    ACTION_CLICK_AT_CURSOR = 0,
    ACTION_RUN_NOTEPAD = 1,
    ACTION_RUN_WRITE = 2,
    ACTION_RUN_PBRUSH = 3,
    ACTION_RUN_CALC = 4,
    ACTION_RUN_SOL = 5,
    ACTION_RUN_CHARMAP = 6,
    ACTION_START_SCREEN_SAVER = 7,
    ACTION_RUN_CONTROL = 8,
    ACTION_CENTER_CURSOR = 9,
    ACTION_NOTIFY_13_0 = 10,
    ACTION_NOTIFY_13_1 = 11,
    ACTION_NOTIFY_13_2 = 12,
    ACTION_TAP_1 = 13,
    ACTION_TAP_2 = 14,
    ACTION_TAP_SPACE = 15,
    ACTION_TAP_ENTER = 16,
    ACTION_NOTIFY_5 = 17,
    ACTION_NOTIFY_8 = 18,
    ACTION_NOTIFY_6 = 19,
    ACTION_PAUSE = 20,
    ACTION_SWALLOW = 21,
    ACTION_NOTIFY_10 = 22,
    ACTION_NOTIFY_14_15 = 23,
    ACTION_SCROLL = 24,
    ACTION_CTRL_CLICK = 25,
    ACTION_NOTIFY_0 = 26,
    ACTION_CLOSE_WINDOW = 27,
    ACTION_RUN_EXPLORER = 28,
    ACTION_NOTIFY_25 = 29,
    ACTION_CYCLE_WINDOWS = 30,
    ACTION_CUT = 31,
    ACTION_COPY = 32,
    ACTION_PASTE = 33,
    ACTION_BACK = 34,
    ACTION_FORWARD = 35,
    ACTION_BACKSPACE = 36,
    ACTION_CLEAR = 37,
    ACTION_MAXIMIZE = 38,
    ACTION_MINIMIZE = 39,
    ACTION_PAGE_UP = 40,
    ACTION_PAGE_DOWN = 41,
    ACTION_MINIMIZE_2 = 42,
    ACTION_TASK_LIST = 43,
    ACTION_ESCAPE = 44,
    ACTION_COUNT = 45
};

/* ---- Messages posted to the notification window ----------------------- */
#define WM_HOOK_NOTIFY (0x0400 + 50)  /* wParam NotifyCode, lParam argument */
#define WM_HOOK_CAPTURE (0x0400 + 55) /* raw input while captureMode is on */

/* NotifyCode: the wParam of WM_HOOK_NOTIFY. */
enum {
    NOTIFY_COMMAND = 0,          /* action 26; lParam -1 */
    NOTIFY_BUTTON = 2,           /* lParam ButtonEvent */
    NOTIFY_PHASE_A = 5,          /* action 17; lParam 0 press, 1 release */
    NOTIFY_PHASE_B = 6,          /* action 19; lParam 0 press, 1 release */
    NOTIFY_PAUSE = 7,            /* action 20; lParam 0 press, 1 release */
    NOTIFY_SIGNAL = 8,           /* action 18; lParam 0 */
    NOTIFY_WIGGLE = 9,           /* lParam 0 */
    NOTIFY_PARAMETER = 10,       /* action 22; lParam the row's parameter */
    NOTIFY_WHEEL_FORWARD = 11,   /* lParam 0 */
    NOTIFY_WHEEL_BACKWARD = 12,  /* lParam 0 */
    NOTIFY_SELECT = 13,          /* actions 10, 11, 12; lParam 0, 1, 2 */
    NOTIFY_SCROLL_PRESSED = 14,  /* actions 23, 24 at press */
    NOTIFY_SCROLL_RELEASED = 15, /* actions 23, 24 at release */
    NOTIFY_PAUSED_INPUT = 21,
    NOTIFY_TYPING_ENDED = 22,
    NOTIFY_TYPING_STARTED = 23,
    NOTIFY_BUTTON_REMEMBERED = 24, /* fetch with GetRememberedWindow */
    NOTIFY_REQUEST = 25,           /* action 29; lParam -1 */
    NOTIFY_HOLD_STARTED = 26       /* lParam 1, 2 or 4: call PressAndHoldCallBack */
};

/* ButtonEvent: the lParam of NOTIFY_BUTTON, 2 + 3 * kind + button. */
enum {
    BUTTON_LEFT_DOWN = 2,
    BUTTON_RIGHT_DOWN = 3,
    BUTTON_MIDDLE_DOWN = 4,
    BUTTON_LEFT_UP = 5,
    BUTTON_RIGHT_UP = 6,
    BUTTON_MIDDLE_UP = 7,
    BUTTON_LEFT_DBLCLK = 8,
    BUTTON_RIGHT_DBLCLK = 9,
    BUTTON_MIDDLE_DBLCLK = 10
};

/* The extra information (dwExtraInfo of SendInput and mouse_event) of
 * input the library or its controlling program injects on its own
 * account: such a click runs no button row, and such a wheel turn
 * (WexControl's scrolling) runs no wheel row, raises no wheel notification
 * and reaches its window whatever vendorWheel says. */
#define WEXUTIL_OWN_INPUT 0x57455855u

/* ---- Exported functions ----------------------------------------------- */
/* Ordinal  Exported name              Ordinal  Exported name
 *  1       _DllMain@12                  8       _KeyboardProc@12
 *  2       _GetMsgProc@12               9       _LeftStillDown@16
 *  3       GetRememberedWindow         10       _MouseProc@12
 *  4       GetSettings                 11       PressAndHoldCallBack
 *  5       GetStatistics               12       _RemoveHook@0
 *  6       _InstallHook@8              13       SetStatistics
 *  7       _JournalPlaybackFunc@12     14       UpdateSettings
 *                                      15       UpdateProfiles
 *
 * These are the names of the 32-bit library.  The 64-bit library exports
 * the same functions at the same ordinals, every name undecorated (x64 has
 * one calling convention): DllMain, GetMsgProc, InstallHook and so on.
 * WEXUTIL_EXPORT_NAME gives the right one for the build, for GetProcAddress.
 *
 * On Windows the Win32 types come from <windows.h>.  Elsewhere (the
 * library's simulated-desktop build) the includer defines them first. */
#ifdef _WIN32
#define WEXUTIL_STDCALL __stdcall
#define WEXUTIL_CDECL __cdecl
#ifndef WEXUTIL_API
#define WEXUTIL_API __declspec(dllimport)
#endif
#else
#define WEXUTIL_STDCALL
#define WEXUTIL_CDECL
#ifndef WEXUTIL_API
#define WEXUTIL_API
#endif
#endif

/* The file name of the library: the 32-bit and the 64-bit library must have
 * different names (SetWindowsHookEx, remarks).  The 32-bit one is
 * WexUTIL.dll, the 64-bit one WexUTIL64.dll. */
#if defined(_WIN64)
#define WEXUTIL_DLL_NAME "WexUTIL64.dll"
#else
#define WEXUTIL_DLL_NAME "WexUTIL.dll"
#endif

/* The exported name of a stdcall export, e.g. WEXUTIL_EXPORT_NAME(InstallHook, 8):
 * "_InstallHook@8" in a 32-bit build, "InstallHook" in a 64-bit one. */
#if defined(_WIN64)
#define WEXUTIL_EXPORT_NAME(name, argumentBytes) #name
#else
#define WEXUTIL_EXPORT_NAME(name, argumentBytes) "_" #name "@" #argumentBytes
#endif

WEXUTIL_API int WEXUTIL_STDCALL InstallHook(HWND window, int ignored);
WEXUTIL_API void WEXUTIL_STDCALL RemoveHook(void);
WEXUTIL_API void WEXUTIL_CDECL GetSettings(HookSettings* destination);
WEXUTIL_API void WEXUTIL_CDECL UpdateSettings(const HookSettings* source);
WEXUTIL_API void WEXUTIL_CDECL GetStatistics(HookStatistics* destination);
WEXUTIL_API void WEXUTIL_CDECL SetStatistics(const HookStatistics* source);
WEXUTIL_API void WEXUTIL_CDECL GetRememberedWindow(char* className, char* title, WexPoint* point);
WEXUTIL_API int WEXUTIL_CDECL PressAndHoldCallBack(int vk);
/* Replaces the default record (as UpdateSettings does) and the profiles
 * together, so that no hook sees the one without the other: `count`
 * profiles from `profiles`, tried in order, the first whose pattern matches
 * a program's path wins; a program no profile matches uses the default.
 * Each process works out its profile once, at its next input event, not at
 * every one.  count is clamped to 0..WEXUTIL_PROFILES.  Returns the number
 * of profiles now in place, or -1 (nothing changed) when `defaults` is
 * null, or `profiles` is null while count is above 0. */
WEXUTIL_API int WEXUTIL_CDECL UpdateProfiles(const HookSettings* defaults, const WexProfile* profiles, int count);
/* A TIMERPROC for the controlling program: stops its own timer and returns
 * what KillTimer returned. */
WEXUTIL_API BOOL WEXUTIL_STDCALL LeftStillDown(HWND window, UINT message, UINT_PTR timerId, DWORD time);
WEXUTIL_API LRESULT WEXUTIL_STDCALL MouseProc(int code, WPARAM wParam, LPARAM lParam);
WEXUTIL_API LRESULT WEXUTIL_STDCALL KeyboardProc(int code, WPARAM wParam, LPARAM lParam);
WEXUTIL_API LRESULT WEXUTIL_STDCALL GetMsgProc(int code, WPARAM wParam, LPARAM lParam);
WEXUTIL_API LRESULT WEXUTIL_STDCALL JournalPlaybackFunc(int code, WPARAM wParam, LPARAM lParam);

/* Function-pointer types for programs that use GetProcAddress. */
typedef int(WEXUTIL_STDCALL* PFN_InstallHook)(HWND, int);
typedef void(WEXUTIL_STDCALL* PFN_RemoveHook)(void);
typedef void(WEXUTIL_CDECL* PFN_GetSettings)(HookSettings*);
typedef void(WEXUTIL_CDECL* PFN_UpdateSettings)(const HookSettings*);
typedef void(WEXUTIL_CDECL* PFN_GetStatistics)(HookStatistics*);
typedef void(WEXUTIL_CDECL* PFN_SetStatistics)(const HookStatistics*);
typedef void(WEXUTIL_CDECL* PFN_GetRememberedWindow)(char*, char*, WexPoint*);
typedef int(WEXUTIL_CDECL* PFN_PressAndHoldCallBack)(int);
typedef int(WEXUTIL_CDECL* PFN_UpdateProfiles)(const HookSettings*, const WexProfile*, int);
typedef BOOL(WEXUTIL_STDCALL* PFN_LeftStillDown)(HWND, UINT, UINT_PTR, DWORD);

#ifdef __cplusplus
}
#endif

#endif /* WEXUTIL_H */
