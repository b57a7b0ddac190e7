// Reading the text form of a fuzz input: lines of tab-separated fields, decoded from UTF-8 leniently, so
// that the seed corpora stay readable while libFuzzer may still produce any code unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// UTF-8 to wide text. A byte that does not start or continue a valid sequence becomes the lone
// surrogate 0xDC00 + byte (as Python's "surrogateescape" does), so every byte string gives some text and
// texts with unpaired surrogates, which a Windows registry or package may hold, are reachable.
inline std::wstring Widen(const std::string& bytes)
{
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        uint32_t cp = 0;
        if (b < 0x80) { length = 1; cp = b; }
        else if ((b & 0xE0) == 0xC0) { length = 2; cp = b & 0x1F; }
        else if ((b & 0xF0) == 0xE0) { length = 3; cp = b & 0x0F; }
        else if ((b & 0xF8) == 0xF0) { length = 4; cp = b & 0x07; }
        bool valid = length != 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (valid && (cp > 0x10FFFF || (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
                      (length == 4 && cp < 0x10000)))
            valid = false;
        if (!valid) {
            out.push_back(static_cast<wchar_t>(0xDC00 + b));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += length;
    }
    return out;
}

inline std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

inline std::vector<std::string> Lines(const uint8_t* data, size_t size)
{
    return Split(std::string(reinterpret_cast<const char*>(data), size), '\n');
}

// The field at index, or an empty text when the line has fewer fields.
inline std::string Field(const std::vector<std::string>& fields, size_t index)
{
    return index < fields.size() ? fields[index] : std::string();
}

// A decimal number with an optional sign, saturated to 32 bits; text without digits gives 0.
inline int32_t Number(const std::string& text)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

// Expands "text*count" to text repeated count times (at most maxChars characters in all), so that a short
// input can describe a very long value. Any other text is returned as it is.
inline std::wstring Expand(const std::string& field, size_t maxChars)
{
    const size_t star = field.rfind('*');
    if (star == std::string::npos || star + 1 >= field.size()) return Widen(field);
    const int32_t count = Number(field.substr(star + 1));
    const std::wstring unit = Widen(field.substr(0, star));
    if (count <= 0 || unit.empty()) return Widen(field);
    std::wstring out;
    for (int32_t i = 0; i < count && out.size() + unit.size() <= maxChars; ++i) out += unit;
    return out;
}

}  // namespace fuzz
