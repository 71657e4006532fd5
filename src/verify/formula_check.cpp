#include "verify/formula_check.h"
