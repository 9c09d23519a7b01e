#pragma once

#include "libvelcor/auth.h"
#include "libvelcor/error.h"
#include "libvelcor/params.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"

namespace libvelcor {

// Registers the value types under their fully qualified names, as signal
// and slot signatures spell them, so that queued connections carry them.
// Safe to call more than once.
void registerMetaTypes();

} // namespace libvelcor
