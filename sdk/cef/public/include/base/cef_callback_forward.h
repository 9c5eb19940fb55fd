// Forward declaration of the engine's callback type, for headers that only pass callbacks on.
#pragma once

namespace base {

template <typename Sig>
class Callback;

// A callback that takes and returns nothing: what tasks run.
typedef Callback<void(void)> Closure;

}  // namespace base
