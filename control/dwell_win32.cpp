#include "dwell_win32.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace control {

namespace {

const char kChooserClass[] = "WexDwellChooser";
const char kRingClass[] = "WexDwellRing";
const int kRingSize = 64;
const int kButtonWidth = 120;
const int kButtonHeight = 44;
const int kGrip = 18;  // the chooser's strip above its buttons, to move it by
const int kMargin = 6;

// The chooser's buttons, top to bottom, and their control ids (1 + index).
const DwellType kChooserTypes[6] = {DwellType::kLeft,   DwellType::kDouble, DwellType::kRight,
                                    DwellType::kMiddle, DwellType::kDrag,   DwellType::kOff};
const char* const kChooserLabels[6] = {"Left", "Double", "Right", "Middle", "Drag", "Off"};

// Each type's colour (0xRRGGBB) and letter in the ring.
unsigned ColourOf(DwellType type) {
    switch (type) {
        case DwellType::kDouble: return 0x9040E0;
        case DwellType::kRight: return 0xF08020;
        case DwellType::kMiddle: return 0x20A040;
        case DwellType::kDrag: return 0xE03030;
        default: return 0x3080F0;
    }
}
const char* LetterOf(DwellType type) {
    switch (type) {
        case DwellType::kDouble: return "D";
        case DwellType::kRight: return "R";
        case DwellType::kMiddle: return "M";
        case DwellType::kDrag: return "G";
        default: return "L";
    }
}

// A screen coordinate in the 0..65535 scale of absolute input, rounded up
// so that it maps back to the same pixel.
LONG Normalised(LONG value, int size) {
    return static_cast<LONG>((static_cast<long long>(value) * 65536 + size - 1) / size);
}

INPUT MouseInput(DWORD flags, POINT at) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = Normalised(at.x, ::GetSystemMetrics(SM_CXSCREEN));
    in.mi.dy = Normalised(at.y, ::GetSystemMetrics(SM_CYSCREEN));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

// Injects a click of `type` at a point, as real input that meets the hooks
// like a person's: a double is two clicks at one point, well within the
// double-click time.
void Inject(DwellType type, DWORD downFlag, DWORD upFlag, POINT at) {
    INPUT in[4] = {MouseInput(downFlag, at), MouseInput(upFlag, at), MouseInput(downFlag, at),
                   MouseInput(upFlag, at)};
    ::SendInput(type == DwellType::kDouble ? 4 : 2, in, sizeof(INPUT));
}

std::string PointText(POINT p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

}  // namespace

void DwellRunner::Start(HWND owner, const DwellSettings& settings, const std::string& stateFile,
                        std::function<void(const std::string&)> log, std::function<void()> changed) {
    owner_ = owner;
    stateFile_ = stateFile;
    log_ = std::move(log);
    changed_ = std::move(changed);
    dwell_.Configure(settings);
    ring_.Create(kRingClass);
    if (settings.enabled) Enable(true);
}

void DwellRunner::Configure(const DwellSettings& settings) {
    DwellSettings kept = settings;
    kept.enabled = dwell_.Enabled();
    dwell_.Configure(kept);
    if (dwell_.Enabled()) ShowChooser();
    HideRing();
}

void DwellRunner::Enable(bool on) {
    if (on == dwell_.Enabled()) return;
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    Do(dwell_.Enable(on, ::GetTickCount(), {p.x, p.y}));
    UpdateTimer();
    HideRing();
    if (on) {
        ShowChooser();
    } else if (chooser_ != nullptr) {
        ::ShowWindow(chooser_, SW_HIDE);
    }
    log_(on ? "dwell on, next click " + std::string(DwellTypeName(dwell_.Next())) : "dwell off");
    if (changed_) changed_();
}

void DwellRunner::Choose(DwellType type) {
    dwell_.Choose(type);
    if (chooser_ != nullptr && ::IsWindowVisible(chooser_)) ShowChooser();
    log_(std::string("dwell next click ") + DwellTypeName(dwell_.Next()));
    if (changed_) changed_();
}

void DwellRunner::Pause(bool paused) {
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    Do(dwell_.Pause(paused, ::GetTickCount(), {p.x, p.y}));
    UpdateTimer();
    HideRing();
}

void DwellRunner::Scrolling(bool on, POINT marker) {
    dwell_.Scrolling(on, ::GetTickCount(), {marker.x, marker.y});
    HideRing();
}

void DwellRunner::Typing(bool typing) {
    dwell_.Typing(typing, ::GetTickCount());
    HideRing();
}

void DwellRunner::Stop() {
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    Do(dwell_.Stop({p.x, p.y}));
    SaveChooserPlace();
    if (timing_) ::KillTimer(owner_, kDwellTimer);
    timing_ = false;
    if (chooser_ != nullptr) ::DestroyWindow(chooser_);
    ring_.Destroy();
    chooser_ = nullptr;
}

bool DwellRunner::OnTimer(UINT_PTR id) {
    if (id != kDwellTimer) return false;
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    // A button the dwell holds for a drag is not the person's.
    const bool left = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0 && !dwell_.DragHeld();
    const bool byHand = left || (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0 ||
                        (::GetAsyncKeyState(VK_MBUTTON) & 0x8000) != 0;
    const DWORD now = ::GetTickCount();
    dwell_.Here(here ? here(p) : nullptr);
    Do(dwell_.Sample(now, {p.x, p.y}, byHand, ChooserButtonAt(p)));
    const double progress = dwell_.Progress(now);
    if (dwell_.Settings().ring && (progress > 0 || dwell_.DragHeld())) {
        DrawRing(progress);
    } else {
        HideRing();
    }
    return true;
}

std::string DwellRunner::Describe() const {
    if (!dwell_.Enabled()) return "dwell off";
    if (dwell_.DragHeld()) return "dwell on, dragging";
    return std::string("dwell on, next click ") + DwellTypeName(dwell_.Next());
}

void DwellRunner::Do(const DwellStep& step) {
    const POINT at = {step.at.x, step.at.y};
    switch (step.kind) {
        case DwellStep::kNothing: return;
        case DwellStep::kEndScroll:
            log_("dwell ends scrolling");
            if (endScroll) endScroll();
            return;
        case DwellStep::kChoose:
            if (step.type == DwellType::kOff) {
                Enable(false);
            } else {
                if (chooser_ != nullptr) ShowChooser();
                log_(std::string("dwell next click ") + DwellTypeName(step.type) + " (chosen by resting)");
                if (changed_) changed_();
            }
            return;
        case DwellStep::kClick:
            switch (step.type) {
                case DwellType::kRight:
                    Inject(step.type, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, at);
                    break;
                case DwellType::kMiddle:
                    Inject(step.type, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, at);
                    break;
                default: Inject(step.type, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, at); break;
            }
            ++counts.Of(step.type);
            log_(std::string("dwell click ") + DwellTypeName(step.type) + " at " + PointText(at));
            break;
        case DwellStep::kDragPress: {
            INPUT in = MouseInput(MOUSEEVENTF_LEFTDOWN, at);
            ::SendInput(1, &in, sizeof in);
            log_("dwell drag pressed at " + PointText(at));
            break;
        }
        case DwellStep::kDragRelease: {
            INPUT in = MouseInput(MOUSEEVENTF_LEFTUP, at);
            ::SendInput(1, &in, sizeof in);
            ++counts.drags;
            log_("dwell drag released at " + PointText(at));
            break;
        }
    }
    if (dwell_.Settings().sound) ::MessageBeep(MB_OK);
    if (chooser_ != nullptr && ::IsWindowVisible(chooser_)) ShowChooser();
    if (changed_) changed_();
}

void DwellRunner::UpdateTimer() {
    if (dwell_.Sampling() && !timing_) {
        ::SetTimer(owner_, kDwellTimer, kDwellSampleMs, nullptr);
        timing_ = true;
    } else if (!dwell_.Sampling() && timing_) {
        ::KillTimer(owner_, kDwellTimer);
        timing_ = false;
    }
}

// ---- The chooser -------------------------------------------------------------

LRESULT CALLBACK DwellRunner::ChooserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DwellRunner* runner = reinterpret_cast<DwellRunner*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        // Clicked, it stays out of the way of the program that has the focus.
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        // Moved by its strip (or anywhere between its buttons).
        case WM_NCHITTEST: {
            const LRESULT hit = ::DefWindowProcA(window, message, wParam, lParam);
            return hit == HTCLIENT ? HTCAPTION : hit;
        }
        case WM_EXITSIZEMOVE:
            if (runner != nullptr) runner->SaveChooserPlace();
            return 0;
        case WM_COMMAND:
            if (runner != nullptr && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= 1 &&
                LOWORD(wParam) <= 6) {
                const DwellType type = kChooserTypes[LOWORD(wParam) - 1];
                if (type == DwellType::kOff) {
                    runner->Enable(false);
                } else {
                    runner->Choose(type);
                }
            }
            return 0;
        case WM_CLOSE: return 0;  // it goes with dwell, not by itself
        default: return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

void DwellRunner::ShowChooser() {
    if (!dwell_.Settings().chooser) {
        if (chooser_ != nullptr) ::ShowWindow(chooser_, SW_HIDE);
        return;
    }
    if (chooser_ == nullptr) {
        const HINSTANCE instance = ::GetModuleHandleA(nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ChooserProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kChooserClass;
        ::RegisterClassA(&wc);
        const int width = kButtonWidth + 2 * kMargin;
        const int height = kGrip + 6 * (kButtonHeight + kMargin) + kMargin;
        // Where it was last time, or at the right of the screen.
        int x = ::GetSystemMetrics(SM_CXSCREEN) - width - 16;
        int y = 60;
        std::ifstream in(stateFile_);
        std::string line;
        while (std::getline(in, line)) {
            std::sscanf(line.c_str(), "chooserX = %d", &x);
            std::sscanf(line.c_str(), "chooserY = %d", &y);
        }
        // Owned by WexControl's window, so that it never shows in the taskbar.
        chooser_ = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kChooserClass,
                                     "WexControl dwell", WS_POPUP | WS_BORDER, x, y, width, height, owner_,
                                     nullptr, instance, nullptr);
        if (chooser_ == nullptr) return;
        ::SetWindowLongPtrA(chooser_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const HFONT font =
            ::CreateFontA(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        for (int i = 0; i < 6; ++i) {
            buttons_[i] =
                ::CreateWindowExA(0, "BUTTON", kChooserLabels[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  kMargin, kGrip + i * (kButtonHeight + kMargin), kButtonWidth, kButtonHeight,
                                  chooser_, reinterpret_cast<HMENU>(INT_PTR{i + 1}), instance, nullptr);
            ::SendMessageA(buttons_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
    // The next click's type is marked.
    for (int i = 0; i < 6; ++i) {
        const bool next = kChooserTypes[i] == dwell_.Next();
        const std::string label = next ? std::string("> ") + kChooserLabels[i] + " <" : kChooserLabels[i];
        char now[32] = {};
        ::GetWindowTextA(buttons_[i], now, sizeof now);
        if (label != now) ::SetWindowTextA(buttons_[i], label.c_str());
    }
    if (!::IsWindowVisible(chooser_)) ::ShowWindow(chooser_, SW_SHOWNOACTIVATE);
}

DwellType DwellRunner::ChooserButtonAt(POINT p) const {
    if (chooser_ == nullptr || !::IsWindowVisible(chooser_)) return DwellType::kNone;
    const HWND under = ::WindowFromPoint(p);
    for (int i = 0; i < 6; ++i) {
        if (under == buttons_[i]) return kChooserTypes[i];
    }
    return DwellType::kNone;
}

// The chooser's place is WexControl's own state, kept beside the
// statistics; never in the person's settings file.
void DwellRunner::SaveChooserPlace() const {
    if (chooser_ == nullptr || stateFile_.empty()) return;
    RECT r;
    if (!::GetWindowRect(chooser_, &r)) return;
    std::ofstream out(stateFile_, std::ios::binary | std::ios::trunc);
    out << "; WexControl's own state: where the dwell chooser was\n[state]\nchooserX = " << r.left
        << "\nchooserY = " << r.top << "\n";
}

// ---- The ring ----------------------------------------------------------------

void DwellRunner::HideRing() { ring_.Hide(); }

// A ring around the pointer in the next click's colour, filled clockwise
// from the top as far as the countdown has come, the type's letter inside;
// a drag that holds the button fills the middle.
void DwellRunner::DrawRing(double progress) {
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    const DwellType type = dwell_.Next();
    const bool dragHeld = dwell_.DragHeld();
    ring_.Show(p, kRingSize, [&](HDC memory, uint32_t* pixel) {
        // The letter first, white on black, read back as a mask.
        const HFONT font =
            ::CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        const HGDIOBJ oldFont = ::SelectObject(memory, font);
        ::SetBkMode(memory, TRANSPARENT);
        ::SetTextColor(memory, RGB(255, 255, 255));
        RECT all = {0, 0, kRingSize, kRingSize};
        ::DrawTextA(memory, LetterOf(type), 1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::GdiFlush();
        ::SelectObject(memory, oldFont);
        ::DeleteObject(font);
        const unsigned colour = ColourOf(type);
        const double pi = 3.14159265358979323846;
        for (int y = 0; y < kRingSize; ++y) {
            for (int x = 0; x < kRingSize; ++x) {
                uint32_t& px = pixel[y * kRingSize + x];
                const bool letter = (px & 0xFFFFFF) != 0;
                const double dx = x + 0.5 - kRingSize / 2.0, dy = y + 0.5 - kRingSize / 2.0;
                const double band = RingCover(x, y, kRingSize, 20.0, 29.0);
                px = 0;
                if (band > 0) {
                    // Clockwise from the top, 0 to 1.
                    double angle = std::atan2(dx, -dy) / (2 * pi);
                    if (angle < 0) angle += 1;
                    const bool filled = angle < progress;
                    px = Premultiplied(filled ? colour : 0xA0A0A0, (filled ? 235.0 : 110.0) * band);
                } else if (dragHeld && RingCover(x, y, kRingSize, -1.0, 16.0) > 0) {
                    px = Premultiplied(colour, 200);
                }
                if (letter && dx * dx + dy * dy < 16.0 * 16.0)
                    px = Premultiplied(dragHeld ? 0xFFFFFF : colour, 255);
            }
        }
    });
}

}  // namespace control
