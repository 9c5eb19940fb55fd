// base::Bind: a function or method with all its arguments bound into a base::Closure (or a
// Callback<R(void)>), e.g. base::Bind(&Handler::CloseAllBrowsers, this, force_close).
// As in the engine, a receiver given as a raw pointer to a reference-counted object is held by a
// counted reference until the callback is gone; arguments are copied. Only complete binding is
// there: every parameter gets a value.
#pragma once

#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "include/base/cef_callback.h"
#include "include/internal/cef_ptr.h"

namespace base {
namespace cef_internal {

template <typename T, typename = void>
struct IsRefCounted : std::false_type {};
template <typename T>
struct IsRefCounted<T,
                    std::void_t<decltype(std::declval<const T&>().AddRef()),
                                decltype(std::declval<const T&>().Release())>> : std::true_type {};

template <typename F>
struct FunctorTraits;
template <typename R, typename... A>
struct FunctorTraits<R (*)(A...)> {
  typedef R Return;
  static constexpr size_t kArity = sizeof...(A);
};
template <typename R, typename T, typename... A>
struct FunctorTraits<R (T::*)(A...)> {
  typedef R Return;
  static constexpr size_t kArity = sizeof...(A) + 1;  // the receiver first
};
template <typename R, typename T, typename... A>
struct FunctorTraits<R (T::*)(A...) const> {
  typedef R Return;
  static constexpr size_t kArity = sizeof...(A) + 1;
};

// How a bound value is stored: raw pointers to counted objects as counted references.
template <typename P>
struct Stored {
  typedef P Type;
};
template <typename T>
struct Stored<T*> {
  typedef typename std::conditional<IsRefCounted<T>::value, CefRefPtr<T>, T*>::type Type;
};

template <typename T>
T* Unwrap(const CefRefPtr<T>& p) {
  return p.get();
}
template <typename P>
const P& Unwrap(const P& p) {
  return p;
}

template <typename R, typename Functor, typename Values, size_t... I>
R RunBound(const Functor& functor, const Values& values, std::index_sequence<I...>) {
  return std::invoke(functor, Unwrap(std::get<I>(values))...);
}

}  // namespace cef_internal

template <typename Functor, typename... Bound>
Callback<typename cef_internal::FunctorTraits<Functor>::Return(void)> Bind(Functor functor,
                                                                           const Bound&... bound) {
  typedef typename cef_internal::FunctorTraits<Functor>::Return Return;
  static_assert(cef_internal::FunctorTraits<Functor>::kArity == sizeof...(Bound),
                "base::Bind binds every parameter");
  std::tuple<typename cef_internal::Stored<Bound>::Type...> values(bound...);
  return Callback<Return(void)>(cef_internal::BindTag(), [functor, values]() -> Return {
    return cef_internal::RunBound<Return>(functor, values, std::index_sequence_for<Bound...>());
  });
}

}  // namespace base
