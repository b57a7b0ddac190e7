// Checks of the values that go into the command lines of child processes.
#include "engine/CommandLineValues.h"

namespace {

bool IsControl(wchar_t c) { return static_cast<uint32_t>(c) < 0x20; }

bool IsBlank(wchar_t c) { return c == L' ' || IsControl(c); }

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::wstring TrimBlanks(const std::wstring& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace

bool NormalizeFeatureList(const std::wstring& list, std::wstring& normalized)
{
    std::wstring out;
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(L',', start);
        const std::wstring name =
            TrimBlanks(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        for (wchar_t c : name) {
            if (IsBlank(c) || c == L'"' || c == L'/') return false;
        }
        out += name;
        if (comma == std::wstring::npos) break;
        out += L',';
        start = comma + 1;
    }
    normalized = out;
    return true;
}

bool IsValidQuietFlags(const std::wstring& flags)
{
    for (wchar_t c : flags) {
        if (!IsAsciiLetter(c) && c != L'+' && c != L'-' && c != L'!') return false;
    }
    return true;
}

bool IsValidQuotedFolder(const std::wstring& folder)
{
    for (wchar_t c : folder) {
        if (c == L'"' || IsControl(c)) return false;
    }
    return true;
}
