// Parser of a list of pinned SHA-256 values in the format sha256sum writes: per line 64 hex digits, two
// blanks (or a blank and "*" for binary mode) and a file name. Text in, entries or an error out; nothing else.
#pragma once

#include <string>
#include <vector>

#include "system/Sha256.h"

struct HashListEntry {
    std::string fileName;  // printable ASCII, as written
    Sha256Digest sha256{};
    size_t line = 0;  // 1-based
};

struct HashList {
    std::vector<HashListEntry> entries;
    std::string error;  // empty when the list is good; otherwise what is wrong and on which line
    bool Ok() const { return error.empty(); }
};

// Blank lines and lines starting with "#" are skipped; lines may end with CR LF; a UTF-8 byte-order mark at the
// start is allowed; hex digits may be upper or lower case. Errors, each ending the parse: a line in any other
// form, a name that is not a plain Windows file name, a name listed twice (ignoring ASCII case), no entry at all.
HashList ParseHashList(const std::string& text);

// Why name is not a plain Windows file name in printable ASCII (empty when it is one): no folder part, no
// characters Windows refuses in names, no trailing dot or blank, at most 255 characters.
std::string FileNameProblem(const std::string& name);

// ASCII case folding for comparing file names.
std::string FoldFileName(const std::string& name);
