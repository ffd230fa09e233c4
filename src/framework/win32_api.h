#pragma once

// <windows.h> for the framework's headers, without the macros that would
// rename the framework's own members of the same names (RegisterClass of the
// class registry, DrawText and TextOut of the canvas). Code here calls the
// wide functions by their explicit names (DrawTextW, ...).

#include <windows.h>

#undef RegisterClass
#undef DrawText
#undef TextOut
