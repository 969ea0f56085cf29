#include "support/sim_test.h"

void SimTest::SetUp() {
    sim::Reset();
    app = MakeWindow("app", {0, 0, 200, 100}, "ControllerWindow");
    d().W(app).visible = false;
}

std::string SimTest::Down() {
    std::string down;
    for (int vk = 1; vk < 256; ++vk) {
        if (d().KeyDown(vk)) down += sim::Hex(static_cast<uint32_t>(vk)) + " ";
    }
    return down;
}

HWND SimTest::MakeWindow(const std::string& name, RECT rect, const std::string& className, int process) {
    sim::WindowSpec spec;
    spec.name = name;
    spec.rect = rect;
    spec.className = className;
    spec.process = process;
    return d().CreateWindow(spec);
}

std::string Post(const std::string& window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    return "post " + window + " " + sim::Hex(message) + " " + sim::Hex(wParam) + " " + sim::Hex(lParam);
}

std::string Send(const std::string& window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    return "send " + window + " " + sim::Hex(message) + " " + sim::Hex(wParam) + " " + sim::Hex(lParam);
}

std::string Notify(int code, uint32_t argument, const std::string& window) {
    return Post(window, WM_HOOK_NOTIFY, static_cast<uint32_t>(code), argument);
}

std::string Capture(uint32_t message, uint32_t value, const std::string& window) {
    return Post(window, WM_HOOK_CAPTURE, message, value);
}

const char kActionLeftDown[] = "mouse LEFTDOWN dx=0 dy=0 data=0x0 extra=0x57455855";
const char kActionLeftUp[] = "mouse LEFTUP dx=0 dy=0 data=0x0 extra=0x57455855";

std::string KeyDown(int vk) { return "key " + sim::Hex(static_cast<uint32_t>(vk)) + " down"; }
std::string KeyUp(int vk) { return "key " + sim::Hex(static_cast<uint32_t>(vk)) + " up"; }

HookSettings SettingsWith(std::initializer_list<Row> rows) {
    HookSettings s{};
    int i = 0;
    for (const Row& r : rows) {
        s.bindings[i].action = r.action;
        s.bindings[i].trigger = r.trigger;
        s.bindings[i].modifiers = r.modifiers;
        s.bindings[i].parameter = r.parameter;
        ++i;
    }
    s.bindingCount = i;
    return s;
}
