#include "geometry/plot_file.h"
