// SHA-256 (FIPS 180-4) of data given in pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    // The digest of everything given so far; the object is then spent (start a new one for more).
    Sha256Digest Final();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t totalBytes_ = 0;
};
