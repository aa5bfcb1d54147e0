#include "framework/HandleTable.h"

#include <cstdlib>
#include <limits>

HandleTable::~HandleTable() {
    std::free(entries_);
}

bool HandleTable::Add(const void* handle, void* object) {
    // Neither the count nor the byte size may wrap around.
    constexpr std::size_t maxEntries = std::numeric_limits<std::size_t>::max() / sizeof(Entry);
    const std::size_t newCount = static_cast<std::size_t>(count_) + 1;
    if (count_ == std::numeric_limits<std::int32_t>::max() || newCount > maxEntries) {
        return false;
    }
    auto* grown = static_cast<Entry*>(std::realloc(entries_, newCount * sizeof(Entry)));
    if (grown == nullptr) {
        return false; // the old block is still ours and unchanged
    }
    entries_ = grown;
    entries_[count_] = Entry{handle, object};
    ++count_;
    return true;
}

void* HandleTable::Find(const void* handle) const {
    for (std::int32_t index = 0; index < count_; ++index) {
        if (entries_[index].handle == handle) {
            return entries_[index].object;
        }
    }
    return nullptr;
}

void HandleTable::Remove(const void* handle) {
    std::int32_t found = 0;
    while (found < count_ && entries_[found].handle != handle) {
        ++found;
    }
    if (found == count_) {
        return;
    }
    for (std::int32_t index = found + 1; index < count_; ++index) {
        entries_[index - 1] = entries_[index];
    }
    --count_;
    if (count_ == 0) {
        std::free(entries_);
        entries_ = nullptr;
        return;
    }
    // A failed shrink keeps the larger block, which still holds every entry.
    auto* shrunk = static_cast<Entry*>(
        std::realloc(entries_, static_cast<std::size_t>(count_) * sizeof(Entry)));
    if (shrunk != nullptr) {
        entries_ = shrunk;
    }
}
