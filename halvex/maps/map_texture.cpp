#include "halvex/maps/map_texture.h"

int gMapLoadCountdown = 0;
