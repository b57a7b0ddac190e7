// Fuzz target: the build's list of pinned SHA-256 values (sha256sum format) and its expected-signer pairs. The
// whole input is the hash list; its lines are also the "file name=signer" pairs.
#include <cstdlib>
#include <set>
#include <string>

#include "FuzzInput.h"
#include "system/HashList.h"
#include "system/SignerRules.h"

namespace {

std::string Hex(const Sha256Digest& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

void EncodeUtf8(const std::u32string& text, std::string& out)
{
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const HashList list = ParseHashList(text);
    if (list.Ok()) {
        if (list.entries.empty()) std::abort();
        // Every name is a plain file name, listed once; the list written again parses to the same entries.
        std::set<std::string> names;
        std::string written;
        for (const HashListEntry& entry : list.entries) {
            if (!FileNameProblem(entry.fileName).empty()) std::abort();
            if (!names.insert(FoldFileName(entry.fileName)).second) std::abort();
            written += Hex(entry.sha256) + "  " + entry.fileName + "\n";
        }
        const HashList again = ParseHashList(written);
        if (!again.Ok() || again.entries.size() != list.entries.size()) std::abort();
        for (size_t i = 0; i < list.entries.size(); ++i) {
            if (again.entries[i].fileName != list.entries[i].fileName) std::abort();
            if (again.entries[i].sha256 != list.entries[i].sha256) std::abort();
        }
    } else if (list.error.empty()) {
        std::abort();
    }

    const SignerRules rules = ParseSignerRules(fuzz::Lines(data, size));
    if (rules.Ok()) {
        std::set<std::string> names;
        for (const SignerRule& rule : rules.rules) {
            if (!FileNameProblem(rule.fileName).empty() || rule.signer.empty()) std::abort();
            if (!names.insert(FoldFileName(rule.fileName)).second) std::abort();
        }
    }

    // Strict UTF-8: what decodes encodes back to the same bytes.
    std::u32string decoded;
    if (DecodeUtf8(text, decoded)) {
        std::string encoded;
        EncodeUtf8(decoded, encoded);
        if (encoded != text) std::abort();
    }
    return 0;
}
