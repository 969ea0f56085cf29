#include "mouse/stages.h"

void DetectWiggle(UINT, const MOUSEHOOKSTRUCT*) {}
