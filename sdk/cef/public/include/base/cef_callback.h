// The engine's callback type: a copyable handle to a function with its bound arguments, made by
// base::Bind (include/base/cef_bind.h). Copies share the bound state; a default-constructed
// callback is null and must not be run.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "include/base/cef_callback_forward.h"

namespace base {
namespace cef_internal {
// Only base::Bind makes non-null callbacks: a lambda or other callable does not convert.
struct BindTag {};
}  // namespace cef_internal

template <typename R, typename... Args>
class Callback<R(Args...)> {
 public:
  typedef R(RunType)(Args...);

  Callback() {}
  Callback(cef_internal::BindTag, std::function<R(Args...)> run)
      : run_(std::make_shared<const std::function<R(Args...)>>(std::move(run))) {}

  bool is_null() const { return !run_; }
  void Reset() { run_.reset(); }
  // True when both are null or copies of one callback.
  bool Equals(const Callback& other) const { return run_ == other.run_; }
  R Run(Args... args) const { return (*run_)(std::forward<Args>(args)...); }

 private:
  std::shared_ptr<const std::function<R(Args...)>> run_;
};

}  // namespace base
