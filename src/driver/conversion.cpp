#include "driver/conversion.h"
