#pragma once
// Append-only storage for the many short texts of a run (minute texts).
// A stored text never moves and lives as long as its arena, so points and
// records can refer to it with a plain string_view and stay trivially
// copyable: a copy costs no heap block.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tavelund {

class TextArena {
 public:
  TextArena() = default;
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;
  TextArena(TextArena&& other) noexcept { *this = std::move(other); }
  TextArena& operator=(TextArena&& other) noexcept {
    if (this != &other) {
      chunks_ = std::move(other.chunks_);
      next_ = std::exchange(other.next_, nullptr);
      room_ = std::exchange(other.room_, 0);
      stored_ = std::exchange(other.stored_, 0);
      other.chunks_.clear();
    }
    return *this;
  }

  // A lasting copy of `text`.
  std::string_view store(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > room_) grow(text.size());
    char* at = next_;
    std::memcpy(at, text.data(), text.size());
    next_ += text.size();
    room_ -= text.size();
    stored_ += text.size();
    return {at, text.size()};
  }

  // Room for `bytes` more in one piece, and that room.
  void reserve(size_t bytes) {
    if (bytes > room_) grow(bytes);
  }
  char* freeRoom() const { return next_; }
  size_t freeBytes() const { return room_; }

  size_t storedBytes() const { return stored_; }

  // Takes over the texts of `other`, which stay where they are.
  void adopt(TextArena&& other) {
    for (auto& chunk : other.chunks_) chunks_.push_back(std::move(chunk));
    stored_ += other.stored_;
    other.chunks_.clear();
    other.next_ = nullptr;
    other.room_ = 0;
    other.stored_ = 0;
  }

 private:
  static constexpr size_t kChunkBytes = size_t{1} << 20;

  void grow(size_t atLeast) {
    const size_t size = std::max(atLeast, kChunkBytes);
    // Left uninitialised: pages are only touched as texts are written.
    chunks_.push_back(std::unique_ptr<char[]>(new char[size]));
    next_ = chunks_.back().get();
    room_ = size;
  }

  std::vector<std::unique_ptr<char[]>> chunks_;
  char* next_ = nullptr;
  size_t room_ = 0;
  size_t stored_ = 0;
};

}  // namespace tavelund
