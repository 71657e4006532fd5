#include "geometry/input_reader.h"
