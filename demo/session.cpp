// A short scripted session for the README's run command: starts WexControl
// with a settings file, opens Notepad and works it with real injected input
// (a click, typing, a bound chord, a long press, wheel turns, keypad
// movement, the pause key), then, where 32-bit programs run, the 32-bit
// Notepad too, opens WexControl's menu and writes a screenshot of the
// display, switches dwell clicking on and writes a second one while the
// countdown ring fills, starts scrolling by pointing and writes a third with
// its marker, then closes WexControl, whose live log and statistics appear
// on the same console.
//
//   WexSession SETTINGS LOG SCREENSHOT.png DWELL.png SCROLL.png
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e_support.h"
#include "tray.h"

namespace {

void Say(const char* text) {
    std::printf("session: %s\n", text);
    std::fflush(stdout);
}

// Lets the hooks and WexControl see one step before the next.
void Settle(DWORD ms) {
    e2e::WaitFor([] { return false; }, ms);
}

HANDLE Start(const std::string& command) {
    std::string line = command;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

void TypeText(const char* text) {
    for (const char* c = text; *c; ++c) {
        const SHORT key = ::VkKeyScanA(*c);
        if (key == -1) continue;
        const bool shift = (key & 0x100) != 0;
        if (shift) ::keybd_event(VK_SHIFT, 0, 0, 0);
        e2e::TapKey(static_cast<BYTE>(key & 0xFF));
        if (shift) ::keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        Settle(30);
    }
}

void Button(DWORD flags) {
    ::mouse_event(flags, 0, 0, 0, 0);
    Settle(150);
}

// ---- A PNG of the screen ------------------------------------------------------

uint32_t Crc(const std::string& data, size_t from) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < data.size(); ++i) {
        c ^= static_cast<unsigned char>(data[i]);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

void Big32(std::string* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string* png, const char* type, const std::string& data) {
    Big32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png->size();
    *png += type;
    *png += data;
    Big32(png, Crc(*png, start));
}

// The picture as stored (uncompressed) deflate blocks in a zlib stream.
std::string Zlib(const std::string& raw) {
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, at, n);
        if (n == 0) break;
    }
    Big32(&z, (b << 16) | a);
    return z;
}

bool WriteScreenshot(const std::string& path) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap && bits;
    if (ok) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ok = ::BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY) != 0;
        ::SelectObject(memory, old);
    }
    std::string raw;
    if (ok) {
        const unsigned char* p = static_cast<const unsigned char*>(bits);
        raw.reserve(static_cast<size_t>(h) * (w * 3 + 1));
        for (int y = 0; y < h; ++y) {
            raw.push_back(0);  // no filter
            for (int x = 0; x < w; ++x, p += 4) {
                raw.push_back(static_cast<char>(p[2]));
                raw.push_back(static_cast<char>(p[1]));
                raw.push_back(static_cast<char>(p[0]));
            }
        }
    }
    if (bitmap) ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    if (!ok) return false;

    std::string header;
    Big32(&header, static_cast<uint32_t>(w));
    Big32(&header, static_cast<uint32_t>(h));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1A\n";
    Chunk(&png, "IHDR", header);
    Chunk(&png, "IDAT", Zlib(raw));
    Chunk(&png, "IEND", "");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && written;
}

// ---- The other bitness ---------------------------------------------------------

HANDLE g_notepad32 = nullptr;

#ifdef _WIN64
std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindNotepadOf(HWND window, LPARAM lParam) {
    Search* s = reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    char name[32] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (process != s->process || std::string(name) != "Notepad") return TRUE;
    s->found = window;
    return FALSE;
}

#endif

// The 64-bit session on 64-bit Windows also works the 32-bit Notepad, whose
// input the companion's hooks see; says what WexControl logged of it.
void WorkThe32BitNotepad(const std::string& log) {
#ifdef _WIN64
    char folder[MAX_PATH] = {};
    if (::GetSystemWow64DirectoryA(folder, MAX_PATH) == 0) {
        Say("this system runs no 32-bit programs");
        return;
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + std::string(folder) + "\\notepad.exe\"";
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Say("the 32-bit Notepad cannot run here: this system runs no 32-bit programs");
        return;
    }
    ::CloseHandle(pi.hThread);
    // Its window, once it has its edit box: the window is there a moment
    // before the box inside it.
    Search search = {pi.dwProcessId, nullptr};
    HWND edit = nullptr;
    e2e::WaitFor(
        [&] {
            search.found = nullptr;
            ::EnumWindows(FindNotepadOf, reinterpret_cast<LPARAM>(&search));
            edit = search.found ? ::FindWindowExA(search.found, nullptr, "Edit", nullptr) : nullptr;
            return edit != nullptr;
        },
        30000);
    if (edit) {
        Say("the 32-bit Notepad: a click and typing");
        ::MoveWindow(search.found, 120, 510, 640, 240, TRUE);
        ::SetForegroundWindow(search.found);
        Settle(500);
        RECT r;
        ::GetClientRect(edit, &r);
        POINT centre = {r.right / 2, r.bottom / 2};
        ::ClientToScreen(edit, &centre);
        const size_t before = Count(ReadText(log), "NOTIFY_BUTTON left release");
        e2e::PlaceCursor(centre.x, centre.y);
        Button(MOUSEEVENTF_LEFTDOWN);
        Button(MOUSEEVENTF_LEFTUP);
        TypeText("And hello from a 32-bit program.");
        Settle(1000);
        const size_t seen = Count(ReadText(log), "NOTIFY_BUTTON left release") - before;
        char text[160];
        std::snprintf(
            text, sizeof text, "WexControl logged %u left release(s) from the 32-bit Notepad%s",
            static_cast<unsigned>(seen),
            seen == 0 ? " (Wine runs one bitness's hooks at a time: the 64-bit set, installed last)" : "");
        Say(text);
    } else {
        Say("the 32-bit Notepad did not open a window");
    }
    g_notepad32 = pi.hProcess;
#else
    (void)log;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: WexSession SETTINGS LOG SCREENSHOT.png DWELL.png SCROLL.png\n");
        return 2;
    }
    const std::string settings = argv[1], log = argv[2], screenshot = argv[3], dwellShot = argv[4],
                      scrollShot = argv[5];

    HANDLE control =
        Start("\"" + e2e::ExeFolder() + "WexControl.exe\" \"" + settings + "\" --log \"" + log + "\"");
    HWND controlWindow = nullptr;
    if (!control ||
        !e2e::WaitFor([&] { return (controlWindow = ::FindWindowA("WexControl", nullptr)) != nullptr; },
                      60000)) {
        Say("WexControl did not start");
        return 1;
    }

    HANDLE notepad = Start("notepad.exe");
    HWND window = nullptr, edit = nullptr;
    e2e::WaitFor(
        [&] {
            window = ::FindWindowA("Notepad", nullptr);
            edit = window ? ::FindWindowExA(window, nullptr, "Edit", nullptr) : nullptr;
            return edit != nullptr;
        },
        60000);
    if (!edit) {
        Say("Notepad did not start");
        ::PostMessageA(controlWindow, WM_CLOSE, 0, 0);
        e2e::WaitExit(control);
        return 1;
    }
    ::MoveWindow(window, 120, 80, 640, 420, TRUE);
    ::SetForegroundWindow(window);
    Settle(500);
    RECT r;
    ::GetClientRect(edit, &r);
    POINT centre = {r.right / 2, r.bottom / 2};
    ::ClientToScreen(edit, &centre);

    Say("a click in Notepad");
    e2e::PlaceCursor(centre.x, centre.y);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);

    Say("typing");
    TypeText("Hello from WexUTIL. ");

    Say("the chord left+right (bound to ACTION_COPY)");
    e2e::PlaceCursor(centre.x + 10, centre.y);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_RIGHTDOWN);
    Button(MOUSEEVENTF_RIGHTUP);
    Button(MOUSEEVENTF_LEFTUP);
    e2e::TapKey(VK_ESCAPE);  // closes a context menu, should the right button have reached Notepad

    Say("a long press of the left button (hold left)");
    e2e::PlaceCursor(centre.x + 20, centre.y);
    Button(MOUSEEVENTF_LEFTDOWN);
    Settle(1200);
    if (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) Button(MOUSEEVENTF_LEFTUP);

    Say("wheel turns, away and back");
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA), 0);
    Settle(300);
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA, 0);
    Settle(300);

    Say("keypad movement (Numpad6 and Numpad2)");
    POINT before, after;
    ::GetCursorPos(&before);
    for (BYTE key : {VK_NUMPAD6, VK_NUMPAD6, VK_NUMPAD6, VK_NUMPAD2, VK_NUMPAD2}) {
        e2e::TapKey(key);
        Settle(150);
    }
    ::GetCursorPos(&after);
    char moved[96];
    std::snprintf(moved, sizeof moved, "the keypad moved the cursor from (%ld, %ld) to (%ld, %ld)", before.x,
                  before.y, after.x, after.y);
    Say(moved);

    Say("the pause key F9 (bound to ACTION_PAUSE), a key while paused, F9 again");
    e2e::TapKey(VK_F9);
    Settle(300);
    TypeText("x");
    e2e::TapKey(VK_F9);
    Settle(300);

    Say("more typing");
    TypeText("Bye.");
    Settle(1000);

    WorkThe32BitNotepad(log);

    // A right click where the shell puts the icon (Wine's taskbar: its
    // right end); should the icon be elsewhere, WexControl is asked to open
    // the same menu at the cursor.
    Say("a right click on WexControl's icon");
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    const auto menuOpen = [] {
        HWND menu = ::FindWindowA("#32768", nullptr);
        return menu != nullptr && ::IsWindowVisible(menu);
    };
    // A quick click: a pointer resting on the icon brings up its tooltip,
    // which would cover the menu's last item.
    e2e::PlaceCursor(w - 12, h - 11);
    ::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    if (!e2e::WaitFor(menuOpen, 2000)) {
        Say("no menu there: WexControl is asked to open it");
        ::PostMessageA(controlWindow, control::kShowMenu, 0, 0);
        e2e::WaitFor(menuOpen, 2000);
    }
    // The pointer on the first item, as a person's would be.
    RECT menuRect;
    if (::GetWindowRect(::FindWindowA("#32768", nullptr), &menuRect))
        e2e::PlaceCursor(menuRect.left + 40, menuRect.top + 10);
    Settle(800);
    const bool shot = WriteScreenshot(screenshot);
    e2e::TapKey(VK_ESCAPE);
    Settle(300);
    std::printf("session: screenshot %s %s\n", shot ? "written to" : "could NOT be written to",
                screenshot.c_str());

    // Dwell on, as speech or switch software would switch it: the chooser
    // appears; the pointer moves into Notepad and rests, and the ring fills.
    Say("dwell on (WexControl --dwell on), a rest in Notepad");
    const HANDLE command = Start("\"" + e2e::ExeFolder() + "WexControl.exe\" --dwell on");
    if (command) e2e::WaitExit(command);
    for (int i = 0; i <= 10; ++i) e2e::PlaceCursor(centre.x - 100 + 10 * i, centre.y + 60);
    const auto ringShown = [] {
        HWND ring = ::FindWindowA("WexDwellRing", nullptr);
        return ring != nullptr && ::IsWindowVisible(ring);
    };
    const bool ring = e2e::WaitFor(ringShown, 5000);
    Settle(500);  // about half of the countdown
    const bool dwellShotWritten = ring && WriteScreenshot(dwellShot);
    std::printf("session: dwell screenshot %s %s\n",
                dwellShotWritten ? "written to" : "could NOT be written to", dwellShot.c_str());
    Settle(1500);  // the click, in Notepad's text

    // Scrolling by pointing, as switch software would start it: the marker
    // stays where it began, and the pointer below it scrolls Notepad down.
    Say("scrolling by pointing (WexControl --do \"scroll start\"), the pointer below the marker");
    // A text longer than the window (set whole: typed, it would take a minute).
    std::string lines;
    for (int i = 1; i <= 80; ++i)
        lines += "Line " + std::to_string(i) + " of a long text to scroll through.\r\n";
    ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lines.c_str()));
    e2e::PlaceCursor(centre.x + 120, centre.y - 60);
    const HANDLE scrollStart = Start("\"" + e2e::ExeFolder() + "WexControl.exe\" --do \"scroll start\"");
    if (scrollStart) e2e::WaitExit(scrollStart);
    const bool marker = e2e::WaitFor(
        [] {
            HWND m = ::FindWindowA("WexScrollMarker", nullptr);
            return m != nullptr && ::IsWindowVisible(m);
        },
        5000);
    e2e::PlaceCursor(centre.x + 120, centre.y);
    Settle(1200);
    const bool scrollShotWritten = marker && WriteScreenshot(scrollShot);
    std::printf("session: scroll screenshot %s %s\n",
                scrollShotWritten ? "written to" : "could NOT be written to", scrollShot.c_str());
    const HANDLE scrollStop = Start("\"" + e2e::ExeFolder() + "WexControl.exe\" --do \"scroll stop\"");
    if (scrollStop) e2e::WaitExit(scrollStop);

    Say("closing WexControl");
    ::PostMessageA(controlWindow, WM_CLOSE, 0, 0);
    const int status = e2e::WaitExit(control);
    for (HANDLE process : {notepad, g_notepad32}) {
        if (!process) continue;
        ::TerminateProcess(process, 0);
        ::CloseHandle(process);
    }
    std::printf("session: WexControl ended with status %d\n", status);
    return status == 0 && shot && dwellShotWritten && scrollShotWritten ? 0 : 1;
}
