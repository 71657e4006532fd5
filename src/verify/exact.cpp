#include "verify/exact.h"
