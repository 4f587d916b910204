#include "app/Busy.h"

std::atomic<bool> g_bBusy{ false };
