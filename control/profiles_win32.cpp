#include "profiles_win32.h"

#include "profiles.h"

namespace control {

std::u16string ProgramPathOf(HWND window) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    if (id == 0) return u"";
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return u"";
    WCHAR path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const BOOL read = ::QueryFullProcessImageNameW(process, 0, path, &size);
    ::CloseHandle(process);
    if (!read) return u"";
    return std::u16string(reinterpret_cast<const char16_t*>(path), size);
}

int ProfileLookup::Of(HWND window, const Config& config) {
    if (config.profiles.empty() || window == nullptr) return -1;
    const HWND root = ::GetAncestor(window, GA_ROOT);
    if (root == root_ && root != nullptr) return index_;
    root_ = root;
    const std::u16string path = ProgramPathOf(root != nullptr ? root : window);
    index_ = path.empty() ? -1 : ProfileOf(config, path);
    return index_;
}

}  // namespace control
