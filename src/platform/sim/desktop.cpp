#include "platform/sim/desktop.h"

#include "core/exports.h"
#include "core/shared.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>

ProcessState* g_process = nullptr;

int LibraryBits() { return sim::desktop().P(sim::desktop().CurrentProcess()).bits; }

namespace sim {

namespace {
std::unique_ptr<Desktop> g_desktop;

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
}  // namespace

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", value);
    return buffer;
}

std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << "{" << m.window << " " << Hex(m.message) << " " << Hex(m.wParam) << " " << Hex(m.lParam)
               << "}";
}

Desktop& desktop() {
    if (!g_desktop) Reset();
    return *g_desktop;
}

void Reset() {
    // The last process unloaded the library: the shared state starts over
    // with the new desktop's mappings.
    g_desktop.reset();
    g_desktop = std::make_unique<Desktop>();
    // The controlling program loads the library once the desktop exists: its
    // DllMain opens the shared state through the desktop.
    g_desktop->LoadLibraryInto(0);
    g_desktop->EnterProcess(0);
}

Desktop::Desktop() {
    WindowSpec spec;
    spec.name = "desktop";
    spec.className = "#32769";
    spec.style = WS_POPUP | WS_VISIBLE;
    spec.rect = {0, 0, screenWidth, screenHeight};
    spec.client = spec.rect;
    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(uintptr_t{0x10010});
    w->name = spec.name;
    w->className = spec.className;
    w->style = spec.style;
    w->rect = spec.rect;
    w->client = spec.client;
    w->process = kShell;
    desktopWindow_ = w->handle;
    windows_.push_back(std::move(w));
    AddProcess("controller");
    AddProcess("shell");
    EnterProcess(0);
}

Desktop::~Desktop() {
    if (g_process != nullptr) g_process = nullptr;
    g_sharedState = nullptr;
}

int Desktop::AddProcess(const std::string& name) {
    Process p;
    p.name = name;
    p.path = "C:\\Programs\\" + name + ".exe";
    p.state = std::make_unique<ProcessState>();
    *p.state = ProcessState{};
    p.instance = reinterpret_cast<HINSTANCE>(uintptr_t{0x400000} + processes_.size() * 0x100000);
    processes_.push_back(std::move(p));
    return static_cast<int>(processes_.size()) - 1;
}

void Desktop::LoadLibraryInto(int process) {
    Process& p = processes_.at(process);
    if (p.libraryLoaded) return;
    p.libraryLoaded = true;
    *p.state = ProcessState{};
    const int previous = current_;
    EnterProcess(process);
    DllMain(p.instance, DLL_PROCESS_ATTACH, nullptr);
    EnterProcess(previous);
}

void Desktop::EnterProcess(int process) {
    current_ = process;
    g_process = processes_.at(process).state.get();
    g_sharedState = g_process->shared;
}

HWND Desktop::CreateWindow(const WindowSpec& spec) {
    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(uintptr_t{0x10010} + windows_.size() * 0x10);
    w->name =
        spec.name.empty() ? Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w->handle))) : spec.name;
    w->className = spec.className;
    w->classStyle = spec.classStyle;
    w->style = spec.style;
    w->text = spec.text;
    w->parent = spec.parent;
    w->owner = spec.owner;
    w->rect = spec.rect;
    const RECT& c = spec.client;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        w->client = {spec.rect.left + 4, spec.rect.top + 24, spec.rect.right - 4, spec.rect.bottom - 4};
        if (w->client.right < w->client.left) w->client.right = w->client.left;
        if (w->client.bottom < w->client.top) w->client.bottom = w->client.top;
    } else {
        w->client = c;
    }
    w->visible = spec.visible;
    w->zoomed = spec.zoomed;
    w->process = spec.process;
    HWND handle = w->handle;
    if (spec.parent != nullptr) {
        W(spec.parent).children.insert(W(spec.parent).children.begin(), handle);
    } else {
        zOrder_.insert(zOrder_.begin(), handle);
    }
    windows_.push_back(std::move(w));
    return handle;
}

void Desktop::DestroyWindow(HWND window) {
    Window* w = Find(window);
    if (w == nullptr) return;
    for (HWND child : std::vector<HWND>(w->children)) DestroyWindow(child);
    w->destroyed = true;
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), window), zOrder_.end());
    if (Window* parent = Find(w->parent)) {
        parent->children.erase(std::remove(parent->children.begin(), parent->children.end(), window),
                               parent->children.end());
    }
    if (foreground == window) foreground = nullptr;
    if (focus == window) focus = nullptr;
}

Window* Desktop::Find(HWND window) {
    if (window == nullptr) return nullptr;
    for (auto& w : windows_) {
        if (w->handle == window) return w->destroyed ? nullptr : w.get();
    }
    return nullptr;
}

Window& Desktop::W(HWND window) {
    Window* w = Find(window);
    assert(w != nullptr);
    return *w;
}

HWND Desktop::ByName(const std::string& name) const {
    for (auto& w : windows_) {
        if (w->name == name && !w->destroyed) return w->handle;
    }
    return nullptr;
}

std::string Desktop::NameOf(HWND window) const {
    if (window == nullptr) return "null";
    for (auto& w : windows_) {
        if (w->handle == window) return w->name;
    }
    return Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)));
}

void Desktop::BringToTop(HWND window) {
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), window), zOrder_.end());
    zOrder_.insert(zOrder_.begin(), window);
}

void Desktop::SendToBottom(HWND window) {
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), window), zOrder_.end());
    zOrder_.push_back(window);
}

int Desktop::HitTest(HWND window, POINT p) {
    Window* w = Find(window);
    if (w == nullptr) return HTNOWHERE;
    for (auto& region : w->hitRegions) {
        if (Contains(region.first, p)) return region.second;
    }
    if (Contains(w->client, p)) return HTCLIENT;
    if (Contains(w->rect, p)) return HTCAPTION;
    return HTNOWHERE;
}

void Desktop::SetKeyDown(int vk, bool down) {
    uint8_t& k = keyState[vk & 0xFF];
    if (down && !(k & 0x80)) k ^= 0x01;  // each press flips the toggle
    k = down ? (k | 0x80) : (k & ~0x80);
    // The generic modifier keys follow their left and right forms.
    auto generic = [&](int g, int l, int r) {
        if ((vk & 0xFF) == l || (vk & 0xFF) == r) {
            bool any = (keyState[l] & 0x80) || (keyState[r] & 0x80);
            keyState[g] = any ? (keyState[g] | 0x80) : (keyState[g] & ~0x80);
        }
    };
    generic(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    generic(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    generic(VK_MENU, VK_LMENU, VK_RMENU);
}

bool Desktop::HookInstalled(int type) const {
    for (auto& h : hooks) {
        if (h.type == type) return true;
    }
    return false;
}

// Hooks are per desktop, and each logon session has its own: a hook runs
// only for processes of its installer's session.
LRESULT Desktop::CallHooks(int type, int code, WPARAM wParam, LPARAM lParam, int target) {
    for (auto& h : hooks) {
        if (h.type == type && processes_.at(h.process).session == processes_.at(target).session)
            return CallHook(Hook(h), code, wParam, lParam, target);
    }
    return chainResult;
}

LRESULT Desktop::CallHook(const Hook& hook, int code, WPARAM wParam, LPARAM lParam, int target) {
    int run = hook.process;
    if (hook.type != WH_JOURNALPLAYBACK && processes_.at(hook.process).bits == processes_.at(target).bits) {
        run = target;
        LoadLibraryInto(target);
    } else if (hook.type != WH_JOURNALPLAYBACK) {
        Log("hook-callback " + std::to_string(hook.type) + " in " + processes_.at(hook.process).name + " for " +
            processes_.at(target).name);
    }
    const int previous = current_;
    EnterProcess(run);
    dispatch_.push_back({hook.handle, hook.type, target});
    const LRESULT result = hook.procedure(code, wParam, lParam);
    dispatch_.pop_back();
    EnterProcess(previous);
    return result;
}

LRESULT Desktop::CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    // Outside any chain (a test calling a hook procedure itself), the
    // handle says where the chain goes on, if it names a hook.
    const HHOOK from = dispatch_.empty() ? hook : dispatch_.back().hook;
    const int target = dispatch_.empty() ? current_ : dispatch_.back().target;
    bool found = false;
    int type = -1;
    for (auto& h : hooks) {
        if (found && h.type == type && processes_.at(h.process).session == processes_.at(target).session)
            return CallHook(Hook(h), code, wParam, lParam, target);
        if (h.handle == from) {
            found = true;
            type = h.type;
        }
    }
    return chainResult;
}

void Desktop::KillProcess(int process) {
    Process& p = processes_.at(process);
    if (!p.alive) return;
    p.alive = false;
    Log("process ends " + p.name);
    hooks.erase(std::remove_if(hooks.begin(), hooks.end(), [process](const Hook& h) { return h.process == process; }),
                hooks.end());
    for (auto& m : mutexes) {
        if (m.second.holder == process) {
            m.second.holder = -1;
            m.second.count = 0;
            m.second.abandoned = true;
        }
    }
    std::vector<HANDLE> owned;
    for (auto& h : handles) {
        if (h.second.process == process) owned.push_back(h.first);
    }
    for (HANDLE h : owned) {
        const KernelHandle k = handles[h];
        handles.erase(h);
        if (k.kind == KernelHandle::kMapping) Release(mappings, k.key);
        if (k.kind == KernelHandle::kMutex) Release(mutexes, k.key);
    }
    std::vector<const void*> mapped;
    for (auto& v : views) {
        if (v.second.second == process) mapped.push_back(v.first);
    }
    for (const void* v : mapped) {
        const std::string key = views[v].first;
        views.erase(v);
        Release(mappings, key);
    }
    for (auto& w : windows_) {
        if (w->process == process && !w->destroyed) DestroyWindow(w->handle);
    }
    p.libraryLoaded = false;
    *p.state = ProcessState{};
    if (current_ == process) EnterProcess(0);
}

void Desktop::SetProfileString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
    profile[file + "|" + section + "|" + key] = value;
}

Lines Desktop::TakeTrace() {
    Lines out;
    out.swap(trace);
    return out;
}

std::vector<Message> Desktop::PostedTo(HWND window) const {
    for (auto& w : windows_) {
        if (w->handle == window) return w->posted;
    }
    return {};
}

void Desktop::ClearPosted() {
    for (auto& w : windows_) w->posted.clear();
    threadQueue.clear();
}

void Desktop::Pump() {
    // Events injected while delivering (by the hooks themselves) join the end
    // of the stream, as on Windows.  Bounded so that a feedback loop in a test
    // ends instead of hanging.
    for (int guard = 0; guard < 10000; ++guard) {
        if (PlayJournalEvent()) continue;
        if (pendingInput.empty()) break;
        InputEvent e = pendingInput.front();
        pendingInput.erase(pendingInput.begin());
        if (e.keyboard) {
            DeliverKey(e);
        } else {
            DeliverMouse(e);
        }
    }
}

}  // namespace sim
