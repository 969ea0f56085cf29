#include "core/exports.h"
#include "core/shared.h"

extern "C" int PressAndHoldCallBack(int vk) {
    (void)vk;
    return 0;
}
