// Result<T, E>: a value or an error, returned through the call chain instead of
// throwing. The TRY macros keep the "pass a received error on unchanged" rule short.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace mirtova {

// Wraps an error so that Result<T, E> can be built from it even when T and E
// could convert into one another.
template <class E>
struct Err {
  E error;
};

template <class E>
Err<std::decay_t<E>> make_err(E&& e) {
  return Err<std::decay_t<E>>{std::forward<E>(e)};
}

template <class T, class E>
class [[nodiscard]] Result {
 public:
  using value_type = T;
  using error_type = E;

  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) requires(!std::is_same_v<T, E>) : v_(std::in_place_index<1>, std::move(error)) {}
  template <class G>
  Result(Err<G> err) : v_(std::in_place_index<1>, E(std::move(err.error))) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  // A temporary result hands its value over rather than a reference into
  // itself, so `for (x : f().value())` cannot outlive what it walks.
  T value() && { return std::get<0>(std::move(v_)); }
  E& error() & { return std::get<1>(v_); }
  const E& error() const& { return std::get<1>(v_); }
  E error() && { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, E> v_;
};

// A result that carries no value.
struct Unit {};

}  // namespace mirtova

#define MIRTOVA_CONCAT_INNER(a, b) a##b
#define MIRTOVA_CONCAT(a, b) MIRTOVA_CONCAT_INNER(a, b)

// TRY(decl, expr): evaluates expr (a Result); on error returns the error from the
// enclosing function, otherwise binds the value to decl ("auto x" or "x").
#define TRY(decl, expr) TRY_IMPL(MIRTOVA_CONCAT(try_result_, __LINE__), decl, expr)
#define TRY_IMPL(tmp, decl, expr)                                    \
  auto tmp = (expr);                                                 \
  if (!tmp.ok()) return ::mirtova::make_err(std::move(tmp).error()); \
  decl = std::move(tmp).value()

// TRY_VOID(expr): evaluates expr (a Result); on error returns the error.
#define TRY_VOID(expr) TRY_VOID_IMPL(MIRTOVA_CONCAT(try_result_, __LINE__), expr)
#define TRY_VOID_IMPL(tmp, expr)                                       \
  do {                                                                 \
    auto tmp = (expr);                                                 \
    if (!tmp.ok()) return ::mirtova::make_err(std::move(tmp).error()); \
  } while (0)
