// Parser of a list of pinned SHA-256 values in the format sha256sum writes.
#include "system/HashList.h"

#include <map>

namespace {

constexpr size_t kHexDigits = 64;
constexpr size_t kMaxNameLength = 255;
constexpr size_t kShownCharacters = 60;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlankLine(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The start of a line for an error message, with anything unprintable shown as "?".
std::string Shown(const std::string& line)
{
    std::string shown;
    for (size_t i = 0; i < line.size() && i < kShownCharacters; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        shown += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (line.size() > kShownCharacters) shown += "...";
    return shown;
}

std::string LineError(size_t number, const std::string& what)
{
    return "line " + std::to_string(number) + ": " + what;
}

}  // namespace

std::string FoldFileName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string FileNameProblem(const std::string& name)
{
    if (name.empty()) return "the file name is empty";
    if (name.size() > kMaxNameLength) return "the file name is longer than 255 characters";
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F) return "the file name holds a character that is not printable ASCII";
        if (c == '/' || c == '\\') return "the file name has a folder part (give the bare file name)";
        if (std::string("<>:\"|?*").find(ch) != std::string::npos)
            return "the file name holds a character Windows does not allow in names";
    }
    if (name.back() == '.' || name.back() == ' ') return "the file name ends with a dot or a blank";
    return std::string();
}

HashList ParseHashList(const std::string& text)
{
    HashList list;
    HashList failed;
    std::map<std::string, size_t> lineOfName;
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    for (size_t number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (IsBlankLine(line) || line[0] == '#') continue;

        if (line[0] == '\\') {
            failed.error = LineError(number, "sha256sum escaped this file name (a backslash or line break in it); "
                                           "such names are not supported");
            return failed;
        }
        HashListEntry entry;
        entry.line = number;
        bool hex = line.size() > kHexDigits + 2;
        for (size_t i = 0; hex && i < kHexDigits; ++i) {
            const int high = HexValue(line[i]);
            if (high < 0) {
                hex = false;
                break;
            }
            if (i % 2 == 0) entry.sha256[i / 2] = static_cast<uint8_t>(high << 4);
            else entry.sha256[i / 2] |= static_cast<uint8_t>(high);
        }
        if (!hex || line[kHexDigits] != ' ' || (line[kHexDigits + 1] != ' ' && line[kHexDigits + 1] != '*')) {
            failed.error = LineError(number, "not in the format of sha256sum (64 hex digits, two blanks, the file "
                                           "name): \"" + Shown(line) + "\"");
            return failed;
        }
        entry.fileName = line.substr(kHexDigits + 2);
        const std::string problem = FileNameProblem(entry.fileName);
        if (!problem.empty()) {
            failed.error = LineError(number, problem + ": \"" + Shown(entry.fileName) + "\"");
            return failed;
        }
        const auto known = lineOfName.emplace(FoldFileName(entry.fileName), number);
        if (!known.second) {
            failed.error = LineError(number, "\"" + entry.fileName + "\" is listed twice (also on line " +
                                               std::to_string(known.first->second) + ")");
            return failed;
        }
        list.entries.push_back(entry);
    }
    if (list.entries.empty()) list.error = "the list names no file";
    return list;
}
