// printf-style and numbered-insert formatting of wide texts, the same on every platform.
#include "log/TextFormat.h"

#include <vector>

FormatArg::FormatArg(const char* narrow) : isText(true)
{
    if (narrow) {
        for (const char* p = narrow; *p; ++p)
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
}

namespace {

struct ConversionSpec {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool alternate = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    wchar_t conversion = 0;
};

// One more decimal digit of a width or precision, which stays at kMaxFieldWidth once it got there: a format
// such as "%2444444444s" would otherwise ask for gigabytes of padding (or wrap around).
size_t AddDigit(size_t value, wchar_t digit)
{
    const size_t next = value * 10 + static_cast<size_t>(digit - L'0');
    return next > kMaxFieldWidth ? kMaxFieldWidth : next;
}

// Parses the part after '%' up to and including the conversion letter.
// Returns the position after the conversion letter, or nullptr when the text ends first.
const wchar_t* ParseSpec(const wchar_t* p, ConversionSpec& spec)
{
    for (;; ++p) {
        if (*p == L'-') spec.leftAlign = true;
        else if (*p == L'0') spec.zeroPad = true;
        else if (*p == L'+') spec.plusSign = true;
        else if (*p == L' ') spec.spaceSign = true;
        else if (*p == L'#') spec.alternate = true;
        else break;
    }
    while (*p >= L'0' && *p <= L'9') spec.width = AddDigit(spec.width, *p++);
    if (*p == L'.') {
        ++p;
        spec.hasPrecision = true;
        while (*p >= L'0' && *p <= L'9') spec.precision = AddDigit(spec.precision, *p++);
    }
    while (*p == L'h' || *p == L'l' || *p == L'L' || *p == L'j' || *p == L'z' || *p == L't' || *p == L'w') ++p;
    if (*p == L'I') {  // MSVC length prefixes I, I32, I64
        ++p;
        if ((p[0] == L'3' && p[1] == L'2') || (p[0] == L'6' && p[1] == L'4')) p += 2;
    }
    if (*p == 0) return nullptr;
    spec.conversion = *p;
    return p + 1;
}

std::wstring ToDigits(uint32_t value, unsigned base, bool upper)
{
    const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

std::wstring ApplySpec(const ConversionSpec& spec, const FormatArg* arg)
{
    std::wstring body;
    std::wstring sign;
    std::wstring prefix;
    bool numeric = true;
    const uint32_t bits = arg && !arg->isText ? arg->bits : 0;
    switch (spec.conversion) {
    case L's':
    case L'S':
        numeric = false;
        if (arg && arg->isText) body = arg->text;
        if (spec.hasPrecision && body.size() > spec.precision) body.resize(spec.precision);
        break;
    case L'c':
    case L'C':
        numeric = false;
        if (arg && arg->isText) body = arg->text.substr(0, 1);
        else if (bits != 0) body.assign(1, static_cast<wchar_t>(bits));
        break;
    case L'd':
    case L'i': {
        const int32_t value = static_cast<int32_t>(bits);
        const uint32_t magnitude = value < 0 ? 0u - bits : bits;
        body = ToDigits(magnitude, 10, false);
        if (value < 0) sign = L"-";
        else if (spec.plusSign) sign = L"+";
        else if (spec.spaceSign) sign = L" ";
        break;
    }
    case L'u':
        body = ToDigits(bits, 10, false);
        break;
    case L'x':
    case L'X':
        body = ToDigits(bits, 16, spec.conversion == L'X');
        if (spec.alternate && bits != 0) prefix = spec.conversion == L'X' ? L"0X" : L"0x";
        break;
    case L'o':
        body = ToDigits(bits, 8, false);
        if (spec.alternate) prefix = L"0";
        break;
    default:
        return std::wstring(L"%") + spec.conversion;
    }
    if (numeric && spec.hasPrecision && body.size() < spec.precision)
        body.insert(0, spec.precision - body.size(), L'0');
    const size_t length = sign.size() + prefix.size() + body.size();
    if (length >= spec.width) return sign + prefix + body;
    const size_t pad = spec.width - length;
    if (spec.leftAlign) return sign + prefix + body + std::wstring(pad, L' ');
    if (spec.zeroPad && numeric && !spec.hasPrecision) return sign + prefix + std::wstring(pad, L'0') + body;
    return std::wstring(pad, L' ') + sign + prefix + body;
}

}  // namespace

std::wstring FormatText(const wchar_t* format, FormatArgs args, size_t maxChars)
{
    return FormatText(format, args.begin(), args.size(), maxChars);
}

std::wstring FormatText(const wchar_t* format, const FormatArg* list, size_t count, size_t maxChars)
{
    std::wstring out;
    if (!format) return out;
    size_t next = 0;
    for (const wchar_t* p = format; *p && out.size() < maxChars;) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        if (p[1] == L'%') {
            out.push_back(L'%');
            p += 2;
            continue;
        }
        ConversionSpec spec;
        const wchar_t* after = ParseSpec(p + 1, spec);
        if (!after) break;  // a lone '%' at the end writes nothing
        const bool known = std::wstring(L"sScCdiuxXo").find(spec.conversion) != std::wstring::npos;
        const FormatArg* arg = nullptr;
        if (known && next < count) arg = &list[next];
        if (known) ++next;
        out += ApplySpec(spec, arg);
        p = after;
    }
    if (out.size() > maxChars) out.resize(maxChars);
    return out;
}

std::wstring FormatInserts(const wchar_t* format, FormatArgs args)
{
    if (!format) return std::wstring();
    const std::vector<FormatArg> list(args);
    std::wstring out;
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        const wchar_t c = p[1];
        if (c == 0) return format;
        if (c == L'0') return out;
        if (c == L'n') { out += L"\r\n"; p += 2; continue; }
        if (c == L'r') { out += L"\r"; p += 2; continue; }
        if (c == L't') { out += L"\t"; p += 2; continue; }
        if (c < L'1' || c > L'9') { out.push_back(c); p += 2; continue; }
        p += 1;
        size_t number = 0;
        for (int digits = 0; digits < 2 && *p >= L'0' && *p <= L'9'; ++digits) number = number * 10 + static_cast<size_t>(*p++ - L'0');
        std::wstring printfSpec = L"%s";
        if (*p == L'!') {
            const wchar_t* close = p + 1;
            while (*close && *close != L'!') ++close;
            if (*close != L'!') return format;
            printfSpec = L"%" + std::wstring(p + 1, close);
            p = close + 1;
        }
        if (number == 0 || number > list.size()) return format;
        out += FormatText(printfSpec.c_str(), {list[number - 1]});
    }
    return out;
}
