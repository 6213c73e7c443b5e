// The engine's pixel operations, by family. Each takes the bitmap to change,
// its parameters (ranges and numbering in ranges.h), the region that
// confines it (nullptr for the whole bitmap) and a progress callback, and
// returns an engine code (codes.h).
#pragma once

#include "compose.h"
#include "filters.h"
#include "geometry.h"
#include "histogram.h"
#include "progress.h"
#include "ranges.h"
#include "reduce.h"
#include "tone.h"
