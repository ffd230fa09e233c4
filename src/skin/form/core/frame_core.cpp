#include "skin/form/core/frame_core.h"
