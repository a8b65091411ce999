#include "common/mesh_shape.h"
