#include "editor/DecimalEdit.h"
