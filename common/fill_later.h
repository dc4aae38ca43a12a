#pragma once
// An allocator for lists of plain records that several threads fill at
// once: growing the list leaves the new entries for their writer instead of
// setting them first, so the memory is written once, by the thread that owns
// that part. Only for types that any bytes may stand for until written
// (trivially copyable and destructible), as points and records are.
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace tavelund {

template <typename T>
struct FillLater : std::allocator<T> {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = FillLater<U>;
  };

  FillLater() = default;
  template <typename U>
  FillLater(const FillLater<U>&) noexcept {}

  template <typename U>
  void construct(U*) noexcept {
    static_assert(std::is_trivially_copyable_v<U> && std::is_trivially_destructible_v<U>);
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  friend bool operator==(const FillLater&, const FillLater<U>&) {
    return true;
  }
};

}  // namespace tavelund
