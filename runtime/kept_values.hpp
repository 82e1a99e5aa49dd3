// Values kept under text keys and never removed, for lookups from many
// threads: the first 32 are found without a lock (an append-only array
// published with one atomic count), the rest in a map under a mutex.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace xrd {

// `Pointer` owns a value (std::unique_ptr or std::shared_ptr).
template <class Pointer>
class KeptValues {
 public:
  using Value = typename Pointer::element_type;

  // The value kept under `key`, or nullptr.
  Value* Find(std::string_view key) const {
    const std::size_t published = count_.load(std::memory_order_acquire);
    const std::uint32_t tag = TagOf(key);
    for (std::size_t i = 0; i < published; ++i) {
      if (slots_[i].tag == tag && slots_[i].key == key) return slots_[i].value.get();
    }
    if (published < kSlots) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = overflow_.find(key);
    return found == overflow_.end() ? nullptr : found->second.get();
  }

  // Keeps `value` under `key` unless a value is kept there already, and
  // gives the value kept.
  Value* Keep(std::string_view key, Pointer value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t used = count_.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < used; ++i) {
      if (slots_[i].key == key) return slots_[i].value.get();
    }
    if (used < kSlots) {
      slots_[used].key = std::string(key);
      slots_[used].tag = TagOf(key);
      slots_[used].value = std::move(value);
      count_.store(used + 1, std::memory_order_release);
      return slots_[used].value.get();
    }
    auto kept = overflow_.emplace(std::string(key), std::move(value)).first;
    return kept->second.get();
  }

  // Calls `visit(key, value)` for every value kept.
  template <class Visit>
  void ForEach(Visit visit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < count_.load(std::memory_order_relaxed); ++i) visit(slots_[i].key, *slots_[i].value);
    for (const auto& [key, value] : overflow_) visit(key, *value);
  }

 private:
  static constexpr std::size_t kSlots = 32;
  struct Slot {
    std::string key;
    std::uint32_t tag = 0;  // TagOf(key)
    Pointer value;
  };

  // The key's length and its first and last bytes: keys of the same length
  // (file names, symbols) are told apart mostly without comparing them.
  static std::uint32_t TagOf(std::string_view key) {
    if (key.empty()) return 0;
    return static_cast<std::uint32_t>(key.size() << 16) | static_cast<unsigned char>(key.front()) << 8 |
           static_cast<unsigned char>(key.back());
  }
  std::array<Slot, kSlots> slots_;
  std::atomic<std::size_t> count_{0};
  mutable std::mutex mutex_;
  std::map<std::string, Pointer, std::less<>> overflow_;
};

}  // namespace xrd
