#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace quillery {

template <typename Signature>
class FunctionRef;

// A callable passed down a call chain without being kept: unlike std::function it never
// allocates, so it costs nothing per entry or per archive. It refers to the callable it was
// made from, which must outlive it: make one in a parameter list, never in a variable that
// outlives the statement that holds the callable.
template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
  public:
    template <typename Callable>
    requires(!std::is_same_v<std::remove_cvref_t<Callable>, FunctionRef> &&
             std::is_invocable_r_v<Result, Callable&, Args...>)
        // NOLINTNEXTLINE(google-explicit-constructor,bugprone-forwarding-reference-overload)
        FunctionRef(Callable&& callable)
    noexcept
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          call_([](void* object, Args... args) -> Result {
              return (*static_cast<std::remove_reference_t<Callable>*>(object))(
                  std::forward<Args>(args)...);
          }) {}

    Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

  private:
    void* object_;
    Result (*call_)(void*, Args...);
};

}  // namespace quillery
