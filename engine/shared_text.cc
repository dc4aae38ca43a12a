#include "engine/shared_text.h"

#include <cstring>
#include <new>

namespace tavelund {

SharedText::SharedText(std::string_view text) {
  if (text.empty()) return;  // the empty text needs no storage
  void* memory = ::operator new(sizeof(Block) + text.size());
  block_ = new (memory) Block{{1}, static_cast<uint32_t>(text.size())};
  std::memcpy(reinterpret_cast<char*>(block_ + 1), text.data(), text.size());
}

void SharedText::release() noexcept {
  if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block_->~Block();
    ::operator delete(block_);
  }
  block_ = nullptr;
}

}  // namespace tavelund
