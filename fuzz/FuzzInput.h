// The fuzz input read front to back: settings bytes first, the rest as text.
// Past the end every byte reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;

    std::uint8_t byte() {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    // Up to `length` bytes as text.
    std::string take(std::size_t length) {
        if (length > size)
            length = size;
        std::string text(reinterpret_cast<const char*>(data), length);
        data += length;
        size -= length;
        return text;
    }
    std::string rest() { return take(size); }
};
