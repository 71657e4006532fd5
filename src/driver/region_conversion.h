#pragma once

#include "driver/conversion.h"
#include "io/region_file.h"

namespace polyfrep {

// Converts a region read from a vector file, or made from an outline that
// crossed itself: each ring's formula is built on its own and the region's
// joins them. Writes the same four files as a polygon's conversion, in the
// same order, and returns the exit status.
int convert_region(const char* input_name, const char* model_name, const ConversionOptions& options,
                   const RegionInput& input);

}  // namespace polyfrep
