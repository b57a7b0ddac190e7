// Turns the bootstrapper's arguments into SetupOptions. No argument is ever an error.
#pragma once

#include <string>
#include <vector>

#include "app/SetupOptions.h"

class CMyCommandLineParser : public SetupOptions {
public:
    // Feeds every argument after the program name (argument 0) to ParseArgument: a leading
    // "/" or "-" is removed and makes the argument a flag; the last argument has bLast set.
    void ParseArguments(const std::vector<std::wstring>& argv);

    // Interprets one argument and logs it.
    void ParseArgument(const std::wstring& param, bool bFlag, bool bLast);

    const SetupOptions& Options() const { return *this; }

private:
    // The path switch ("/log", "/extract", "/layout") whose path is the next argument, by its place in the
    // parser's table; -1 when there is none.
    int pathSwitch_ = -1;
};

// The switch words the parser knows, in the order of comparison, without their slash.
std::vector<std::wstring> CommandLineSwitchWords();
// The property names the parser knows, in capitals.
std::vector<std::wstring> CommandLinePropertyNames();

// The value of "/log <file>" in the arguments (argument 0 is the program), found before the log is opened so
// that every line of the run goes there; empty when there is none. The last "/log" counts, as in the parser.
std::wstring FindLogFileArgument(const std::vector<std::wstring>& argv);

// Whether param is the installer-style property `name` (given in capitals, matched as a prefix
// ignoring the case of a-z), and its value with leading blanks, '=' and quotes removed and blanks and
// quotes trimmed from its end; a value made only of blanks, '=' and quotes is empty.
bool MatchProperty(const std::wstring& param, const std::wstring& name, std::wstring& value);

// Whether two texts are equal when the letters a to z are taken as A to Z (as switch words, and as Windows
// compares file names for the letters that matter here).
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// Removes the given characters from both ends of text. A text made only of those characters
// loses its blanks and keeps the other characters.
std::wstring TrimChars(const std::wstring& text, const std::wstring& characters);
