/*
 * wexutil_loader.h - for C++ controlling programs that load WexUTIL.dll at
 * run time: its exports, resolved by their exported names (decorated in the
 * 32-bit library, plain in the 64-bit one).
 */
#ifndef WEXUTIL_LOADER_H
#define WEXUTIL_LOADER_H

#include "wexutil.h"

namespace wexutil {

struct Library {
    HMODULE module = nullptr;
    PFN_InstallHook InstallHook = nullptr;
    PFN_RemoveHook RemoveHook = nullptr;
    PFN_GetSettings GetSettings = nullptr;
    PFN_UpdateSettings UpdateSettings = nullptr;
    PFN_GetStatistics GetStatistics = nullptr;
    PFN_SetStatistics SetStatistics = nullptr;
    PFN_GetRememberedWindow GetRememberedWindow = nullptr;
    PFN_PressAndHoldCallBack PressAndHoldCallBack = nullptr;
    PFN_LeftStillDown LeftStillDown = nullptr;
    PFN_UpdateProfiles UpdateProfiles = nullptr;

    // Resolves every export of an already mapped or newly loaded module;
    // false if one is missing.
    bool Resolve(HMODULE m) {
        module = m;
        if (!m) return false;
        InstallHook = Get<PFN_InstallHook>(WEXUTIL_EXPORT_NAME(InstallHook, 8));
        RemoveHook = Get<PFN_RemoveHook>(WEXUTIL_EXPORT_NAME(RemoveHook, 0));
        GetSettings = Get<PFN_GetSettings>("GetSettings");
        UpdateSettings = Get<PFN_UpdateSettings>("UpdateSettings");
        GetStatistics = Get<PFN_GetStatistics>("GetStatistics");
        SetStatistics = Get<PFN_SetStatistics>("SetStatistics");
        GetRememberedWindow = Get<PFN_GetRememberedWindow>("GetRememberedWindow");
        PressAndHoldCallBack = Get<PFN_PressAndHoldCallBack>("PressAndHoldCallBack");
        LeftStillDown = Get<PFN_LeftStillDown>(WEXUTIL_EXPORT_NAME(LeftStillDown, 16));
        UpdateProfiles = Get<PFN_UpdateProfiles>("UpdateProfiles");
        return InstallHook && RemoveHook && GetSettings && UpdateSettings && GetStatistics && SetStatistics &&
               GetRememberedWindow && PressAndHoldCallBack && LeftStillDown && UpdateProfiles;
    }
    FARPROC Proc(const char* name) const { return ::GetProcAddress(module, name); }
    // An export as a pointer of its own type (FARPROC says nothing of the
    // arguments or the calling convention).
    template <typename T>
    T Get(const char* name) const {
        return reinterpret_cast<T>(reinterpret_cast<void*>(Proc(name)));
    }
};

}  // namespace wexutil

#endif /* WEXUTIL_LOADER_H */
