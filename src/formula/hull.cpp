#include "formula/hull.h"
