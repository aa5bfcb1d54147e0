#pragma once

#include <cstddef>
#include <cstdint>

// An ordered table of (window handle, object) pairs. Handles are opaque
// pointer-sized values, so the table needs no platform header. The array is
// resized to the exact count on every change and released when empty.
class HandleTable {
public:
    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;
    ~HandleTable();

    // Appends the pair; false (table unchanged) when the array cannot grow.
    bool Add(const void* handle, void* object);
    // The object of the first entry with this handle, or null.
    void* Find(const void* handle) const;
    // Removes the first entry with this handle, keeping the order of the rest.
    void Remove(const void* handle);

private:
    struct Entry {
        const void* handle;
        void* object;
    };
    std::int32_t count_ = 0;
    Entry* entries_ = nullptr;
};
