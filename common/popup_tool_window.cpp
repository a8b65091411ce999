#include "common/popup_tool_window.h"
