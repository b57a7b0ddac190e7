// Turns the bootstrapper's arguments into SetupOptions. No argument is ever an error.
#include "app/CommandLineParser.h"

#include "log/Log.h"

namespace {

const wchar_t* const kTag = L"CommandLineParser";

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }


struct Switch {
    const wchar_t* word;
    bool SetupOptions::*field;
    const wchar_t* logText;
};

const Switch kSwitches[] = {
    {L"clean", &SetupOptions::clean, L"clean"},
    {L"i", &SetupOptions::install, L"install"},
    {L"x", &SetupOptions::uninstall, L"uninstall"},
    {L"runaftersetup", &SetupOptions::runAfterSetup, L"runaftersetup"},
    {L"removeLegacyGS", &SetupOptions::removeLegacyGS, L"removeLegacyGS"},
    {L"noreboot", &SetupOptions::noReboot, L"noreboot"},
    {L"passive", &SetupOptions::passive, L"passive"},
    {L"quiet", &SetupOptions::quiet, L"quiet"},
    {L"q", &SetupOptions::quiet, L"quiet"},
    {L"?", &SetupOptions::showUsage, L"usage"},
    {L"h", &SetupOptions::showUsage, L"usage"},
    {L"help", &SetupOptions::showUsage, L"usage"},
};

// A word that sets a text of the options, logged with its format: a switch whose value is the next argument, or a
// property.
struct TextOption {
    const wchar_t* word;
    std::wstring SetupOptions::*field;
    const wchar_t* logFormat;
};

// Switches whose value is the next argument.
const TextOption kPathSwitches[] = {
    {L"log", &SetupOptions::logFile, L"Log file: %s"},
    {L"extract", &SetupOptions::extractFolder, L"Extract folder: %s"},
    {L"layout", &SetupOptions::layoutFolder, L"Layout folder: %s"},
};

const TextOption kProperties[] = {
    {L"CUSTOMCONFIGFILES", &SetupOptions::customConfigFilesPath, L"Custom config files path: %s"},
    {L"REDISTDIR", &SetupOptions::localRedistPath, L"Local redist path: %s"},
    {L"ADDLOCAL", &SetupOptions::addLocalFeatures, L"AddLocalFeatures: %s"},
    {L"REMOVE", &SetupOptions::removeFeatures, L"RemoveFeatures: %s"},
};

// The argument after a path switch is its path unless it is empty or another switch: "/log /x" names no file.
bool IsPathArgument(const std::wstring& argument) { return !argument.empty() && argument[0] != L'/'; }

// The path switch an argument is (with its leading "/" or "-"), or null.
const TextOption* FindPathSwitch(const std::wstring& argument)
{
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return nullptr;
    const std::wstring word = argument.substr(1);
    for (const TextOption& s : kPathSwitches) {
        if (EqualsIgnoringAsciiCase(word, s.word)) return &s;
    }
    return nullptr;
}

}  // namespace

std::vector<std::wstring> CommandLineSwitchWords()
{
    std::vector<std::wstring> words;
    for (const Switch& s : kSwitches) words.emplace_back(s.word);
    for (const TextOption& s : kPathSwitches) words.emplace_back(s.word);
    return words;
}

std::vector<std::wstring> CommandLinePropertyNames()
{
    std::vector<std::wstring> names;
    for (const TextOption& p : kProperties) names.emplace_back(p.word);
    return names;
}

std::wstring FindLogFileArgument(const std::vector<std::wstring>& argv)
{
    std::wstring logFile;
    for (size_t i = 1; i < argv.size(); ++i) {
        const TextOption* s = FindPathSwitch(argv[i]);
        if (!s || i + 1 >= argv.size() || !IsPathArgument(argv[i + 1])) continue;
        if (s->field == &SetupOptions::logFile) logFile = argv[i + 1];
        ++i;  // the path is no argument of its own
    }
    return logFile;
}

void CMyCommandLineParser::ParseArguments(const std::vector<std::wstring>& argv)
{
    for (size_t i = 1; i < argv.size(); ++i) {
        std::wstring param = argv[i];
        bool flag = false;
        if (!param.empty() && (param[0] == L'/' || param[0] == L'-')) {
            flag = true;
            param.erase(0, 1);
        }
        ParseArgument(param, flag, i + 1 == argv.size());
        if (pathSwitch_ < 0) continue;
        // A path switch takes the next argument as its path; without one, that argument is parsed as usual.
        const TextOption& s = kPathSwitches[pathSwitch_];
        pathSwitch_ = -1;
        if (i + 1 < argv.size() && IsPathArgument(argv[i + 1])) {
            ++i;
            this->*(s.field) = argv[i];
            LogFormat(kTag, s.logFormat, argv[i]);
        } else {
            switchWithoutPath = std::wstring(L"/") + s.word;
        }
    }
}

void CMyCommandLineParser::ParseArgument(const std::wstring& param, bool bFlag, bool bLast)
{
    LogFormat(kTag, L"bFlag: %d, bLast: %d, param: %s", bFlag ? 1 : 0, bLast ? 1 : 0, param);

    if (bFlag) {
        for (const Switch& s : kSwitches) {
            if (EqualsIgnoringAsciiCase(param, s.word)) {
                this->*(s.field) = true;
                LogMessage(kTag, s.logText);
                return;
            }
        }
        for (size_t n = 0; n < sizeof kPathSwitches / sizeof kPathSwitches[0]; ++n) {
            if (EqualsIgnoringAsciiCase(param, kPathSwitches[n].word)) {
                // The next argument is the path; ParseArguments hands it over.
                pathSwitch_ = static_cast<int>(n);
                return;
            }
        }
        if (!param.empty() && (param[0] == L'q' || param[0] == L'Q')) {
            quietFlags = param;
            LogFormat(kTag, L"Quiet flags: %s", quietFlags);
        }
        return;
    }

    for (const TextOption& p : kProperties) {
        std::wstring value;
        if (MatchProperty(param, p.word, value)) {
            this->*(p.field) = value;
            LogFormat(kTag, p.logFormat, value);
            return;
        }
    }
}

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

bool MatchProperty(const std::wstring& param, const std::wstring& name, std::wstring& value)
{
    if (param.size() < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (UpperAscii(param[i]) != name[i]) return false;
    }
    std::wstring rest = param.substr(name.size());
    const size_t first = rest.find_first_not_of(L" =\"");
    // A value made only of blanks, '=' and quotes (ADDLOCAL=, REDISTDIR="") is empty: taking "="
    // as a folder or feature list would hand a nonsense value to the installer.
    value = first == std::wstring::npos ? std::wstring() : TrimChars(rest.substr(first), L" \"");
    return true;
}

std::wstring TrimChars(const std::wstring& text, const std::wstring& characters)
{
    const size_t first = text.find_first_not_of(characters);
    if (first == std::wstring::npos) {
        std::wstring rest;
        for (wchar_t c : text) {
            if (c != L' ') rest.push_back(c);
        }
        return rest;
    }
    const size_t last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}
