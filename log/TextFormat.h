// printf-style and numbered-insert formatting of wide texts, the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

// One argument of a formatted text: a wide string or a 32-bit integer.
// Integers keep their 32 bits: "%d" shows them signed, "%u" and "%x" unsigned,
// so an HRESULT such as 0x80070002 reads -2147024894 with "%d" and 80070002 with "%x".
class FormatArg {
public:
    FormatArg(const wchar_t* text) : isText(true), text(text ? text : L"") {}
    FormatArg(const std::wstring& text) : isText(true), text(text) {}
    // Narrow texts (process names, ANSI registry values) are widened byte by byte.
    FormatArg(const char* text);
    FormatArg(const std::string& text) : FormatArg(text.c_str()) {}
    FormatArg(bool value) : bits(value ? 1u : 0u) {}
    FormatArg(int value) : bits(static_cast<uint32_t>(value)) {}
    FormatArg(unsigned value) : bits(value) {}
    FormatArg(long value) : bits(static_cast<uint32_t>(value)) {}
    FormatArg(unsigned long value) : bits(static_cast<uint32_t>(value)) {}
    FormatArg(long long value) : bits(static_cast<uint32_t>(value)) {}
    FormatArg(unsigned long long value) : bits(static_cast<uint32_t>(value)) {}

    bool isText = false;
    uint32_t bits = 0;
    std::wstring text;
};

using FormatArgs = std::initializer_list<FormatArg>;

// The largest width or precision a conversion takes; larger ones count as this one.
constexpr size_t kMaxFieldWidth = 4096;

// Formats with the printf conversions %s %S %c %d %i %u %x %X %o %% (flags "-0+ #", width,
// precision, length letters ignored). A missing argument reads as an empty text or 0.
// The result holds at most maxChars characters; a longer text is cut there.
std::wstring FormatText(const wchar_t* format, FormatArgs args, size_t maxChars = std::wstring::npos);
std::wstring FormatText(const wchar_t* format, const FormatArg* args, size_t count,
                        size_t maxChars = std::wstring::npos);

// Replaces numbered inserts as the Windows message formatter does with FORMAT_MESSAGE_FROM_STRING:
// "%1" or "%1!s!" (any printf conversion between the exclamation marks), "%n" a line break,
// "%%" "%!" "%." "% " the character itself, "%0" ends the text. An insert without its argument
// or an unterminated "!...!" makes the formatting fail: the format itself is returned then.
// A null format gives an empty text.
std::wstring FormatInserts(const wchar_t* format, FormatArgs args = {});
