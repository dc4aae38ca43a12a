#pragma once
// An immutable text shared by reference count. Every snapshot of the chart
// carries four texts that repeat across thousands of snapshots (the minute
// texts of its points and the percent text); sharing them keeps a snapshot
// a fixed-size value without a heap block of its own.
#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace tavelund {

class SharedText {
 public:
  SharedText() = default;
  SharedText(std::string_view text);  // NOLINT: implicit, a text is a text
  SharedText(const std::string& text) : SharedText(std::string_view(text)) {}
  SharedText(const char* text) : SharedText(std::string_view(text)) {}
  SharedText(const SharedText& other) noexcept : block_(other.block_) { retain(); }
  SharedText(SharedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  SharedText& operator=(const SharedText& other) noexcept {
    if (block_ != other.block_) {
      other.retain();
      release();
      block_ = other.block_;
    }
    return *this;
  }
  SharedText& operator=(SharedText&& other) noexcept {
    if (this != &other) {
      release();
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  ~SharedText() { release(); }

  std::string_view view() const {
    return block_ ? std::string_view(data(), block_->size) : std::string_view();
  }
  operator std::string_view() const { return view(); }  // NOLINT
  std::string str() const { return std::string(view()); }
  size_t size() const { return block_ ? block_->size : 0; }
  bool empty() const { return size() == 0; }
  // True when both refer to the same stored text (cheap identity test).
  bool sameStorage(const SharedText& other) const { return block_ == other.block_; }

  friend bool operator==(const SharedText& a, const SharedText& b) { return a.view() == b.view(); }
  friend bool operator==(const SharedText& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const SharedText& a, const char* b) { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& out, const SharedText& text) {
    return out << text.view();
  }

 private:
  struct Block {
    std::atomic<uint32_t> refs;
    uint32_t size;
  };
  const char* data() const { return reinterpret_cast<const char*>(block_ + 1); }
  void retain() const {
    if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept;

  Block* block_ = nullptr;
};

}  // namespace tavelund
