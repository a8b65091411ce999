// Anchors the angle constants in the library; their definitions live in the header so that each
// including module initialises them before its own statics.
#include "common/angles.h"
