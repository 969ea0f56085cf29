#include "mouse/stages.h"

int SingleClickOpen(UINT) { return 0; }
