#include "engine_error.h"
