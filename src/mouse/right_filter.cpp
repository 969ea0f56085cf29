#include "mouse/stages.h"

int RightButtonFilter(UINT, const MOUSEHOOKSTRUCT*) { return 0; }
