// The program's folder is found in config/ProgramPath.h, shared with the log report; the
// panel's entry (app/main.cpp) still includes it by this name.
#pragma once

#include "config/ProgramPath.h"
