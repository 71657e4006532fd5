#include "formula/hull_listing.h"
