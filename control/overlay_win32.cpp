#include "overlay_win32.h"

#include <cmath>

namespace control {

void Overlay::Create(const char* className) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    ::RegisterClassA(&wc);
    window_ = ::CreateWindowExA(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, className,
        "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
}

void Overlay::Destroy() {
    if (window_ != nullptr) ::DestroyWindow(window_);
    window_ = nullptr;
    shown_ = false;
}

void Overlay::Hide() {
    if (window_ != nullptr && shown_) ::ShowWindow(window_, SW_HIDE);
    shown_ = false;
}

void Overlay::Show(POINT centre, int size, const std::function<void(HDC, uint32_t*)>& paint) {
    if (window_ == nullptr || size <= 0) return;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        const HGDIOBJ old = ::SelectObject(memory, bitmap);
        paint(memory, static_cast<uint32_t*>(bits));
        POINT at = {centre.x - size / 2, centre.y - size / 2};
        SIZE extent = {size, size};
        POINT origin = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(window_, screen, &at, &extent, memory, &origin, 0, &blend, ULW_ALPHA);
        if (!shown_) ::ShowWindow(window_, SW_SHOWNOACTIVATE);
        shown_ = true;
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

uint32_t Premultiplied(unsigned rgb, double alpha) {
    const unsigned a = alpha <= 0 ? 0u : alpha >= 255 ? 255u : static_cast<unsigned>(alpha);
    const unsigned r = ((rgb >> 16) & 0xFF) * a / 255, g = ((rgb >> 8) & 0xFF) * a / 255,
                   b = (rgb & 0xFF) * a / 255;
    return a << 24 | r << 16 | g << 8 | b;
}

double RingCover(int x, int y, int size, double inner, double outer) {
    const double dx = x + 0.5 - size / 2.0, dy = y + 0.5 - size / 2.0;
    const double d = std::sqrt(dx * dx + dy * dy);
    const double edge = std::fmin(d - inner, outer - d);  // inside the band when positive
    return edge <= -1.0 ? 0.0 : std::fmin(1.0, edge + 1.0);
}

}  // namespace control
