// Base of every engine header: counted references, strings, plain types and their wrappers.
#pragma once

#include "include/internal/cef_ptr.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_types.h"
#include "include/internal/cef_types_wrappers.h"
