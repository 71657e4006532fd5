#include "formula/decomposition.h"
