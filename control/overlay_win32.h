// A mark drawn over everything at a point of the screen: the dwell ring,
// the ring that finds the pointer, the scroll marker.  A topmost layered
// window with per-pixel alpha that lets every click through, never takes
// the focus and never shows in the taskbar, so the cursor and the input
// under it stay as they are.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace control {

class Overlay {
public:
    // Creates the hidden window, of a class of its own.
    void Create(const char* className);
    void Destroy();
    // Draws `size` x `size` pixels centred on `centre` and shows them.
    // `paint` gets a memory DC (for text) and the pixels, top-down rows of
    // premultiplied ARGB, all transparent at first.
    void Show(POINT centre, int size, const std::function<void(HDC, uint32_t*)>& paint);
    void Hide();
    bool Shown() const { return shown_; }

private:
    HWND window_ = nullptr;
    bool shown_ = false;
};

// A colour (0xRRGGBB) at an opacity (0 to 255), premultiplied ARGB.
uint32_t Premultiplied(unsigned rgb, double alpha);

// How much of the pixel at (x, y) of a size x size square lies in the ring
// between radii `inner` and `outer` around its centre: 0 to 1, with a soft
// edge a pixel wide.
double RingCover(int x, int y, int size, double inner, double outer);

}  // namespace control
