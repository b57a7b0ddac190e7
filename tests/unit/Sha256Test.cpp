// Tests of SHA-256: the FIPS 180-4 examples, lengths around the padding boundaries, and data given in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/Sha256.h"

namespace {

std::string Hex(const Sha256Digest& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : digest) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string HashOf(const std::string& data)
{
    Sha256 hash;
    hash.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return Hex(hash.Final());
}

// Bytes i*7 mod 251: no repeating 64-byte block, so a wrongly placed block changes the digest.
std::string Pattern(size_t length)
{
    std::string data;
    for (size_t i = 0; i < length; ++i) data += static_cast<char>(i * 7 % 251);
    return data;
}

TEST(Sha256Test, KnownDigests)
{
    struct Case {
        std::string data;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Around the end of the first and second block, where the padding takes one or two blocks.
        {Pattern(1), "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
        {Pattern(55), "8af594de0e003fdee5c8bb088216c824349b4137070f559574f4a4bddd27b714"},
        {Pattern(56), "db81bc2bfd43620591df192139062da77d4c376f1888ea3d2190bd07c8d901f9"},
        {Pattern(63), "bd535b38bf0d0d1a09d370b7e34b2696cea3767801a45d5611a4aaa6954e8527"},
        {Pattern(64), "292be91abe8c0909fe3d26575af5755eee74d23816dc68c3ba41765136967654"},
        {Pattern(65), "ba65aedf7884642499a59ae124894611d986cf429e69f569488048af3a99e25a"},
        {Pattern(119), "d367ab298e74477421127b0b448667c37c006c636f5738f081c39388756e5fad"},
        {Pattern(120), "be7beb9c82089eb08da8fe6eb30c13b9d56869014e228a8c3eb0fdfe832efab2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.size());
        EXPECT_EQ(HashOf(c.data), c.digest);
    }
}

TEST(Sha256Test, PiecesOfAnySizeGiveTheDigestOfTheWhole)
{
    const std::string data = Pattern(1000);
    for (const size_t piece : {size_t(1), size_t(3), size_t(63), size_t(64), size_t(65), size_t(200)}) {
        SCOPED_TRACE(piece);
        Sha256 hash;
        for (size_t at = 0; at < data.size(); at += piece) {
            const size_t size = std::min(piece, data.size() - at);
            hash.Update(reinterpret_cast<const uint8_t*>(data.data()) + at, size);
            hash.Update(nullptr, 0);  // empty pieces change nothing
        }
        EXPECT_EQ(Hex(hash.Final()), "59425e4412e296fc74736673ce067027f384203f59c0d2c3e6be7b13347b3ffc");
    }
}

}  // namespace
