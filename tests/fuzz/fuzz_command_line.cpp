// Fuzz target: the command-line parser. The input is the argument list after the program name, one
// argument per line. Checks that every option comes from an argument and that every log line stays
// within the log's buffer.
#include <algorithm>
#include <cstdlib>

#include "FuzzInput.h"
#include "app/CommandLineParser.h"
#include "app/SetupRun.h"
#include "support/FakeLogPlatform.h"

namespace {

bool FromSomeArgument(const std::wstring& value, const std::vector<std::wstring>& argv)
{
    if (value.empty()) return true;
    for (const std::wstring& arg : argv) {
        if (arg.find(value) != std::wstring::npos) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LogFixture log;
    log.Initialize();
    std::vector<std::wstring> argv = {L"Setup.exe"};
    for (const std::string& line : fuzz::Lines(data, size)) argv.push_back(fuzz::Widen(line));

    CMyCommandLineParser parser;
    parser.ParseArguments(argv);
    const SetupOptions& options = parser.Options();
    IsUnattended(options);

    const std::wstring* values[] = {&options.quietFlags, &options.customConfigFilesPath, &options.localRedistPath,
                                    &options.addLocalFeatures, &options.removeFeatures};
    for (const std::wstring* value : values) {
        if (!FromSomeArgument(*value, argv)) std::abort();
    }
    // A property value never starts with the characters that separate it from its name.
    const std::wstring* properties[] = {&options.customConfigFilesPath, &options.localRedistPath,
                                        &options.addLocalFeatures, &options.removeFeatures};
    for (const std::wstring* value : properties) {
        if (!value->empty() && std::wstring(L" =\"").find((*value)[0]) != std::wstring::npos) std::abort();
    }
    // A path of /log, /extract or /layout is a whole argument that is no switch; the log file found before the
    // log is opened is the one the parser takes.
    for (const std::wstring* path : {&options.logFile, &options.extractFolder, &options.layoutFolder}) {
        if (path->empty()) continue;
        if ((*path)[0] == L'/' || std::find(argv.begin() + 1, argv.end(), *path) == argv.end()) std::abort();
    }
    if (FindLogFileArgument(argv) != options.logFile) std::abort();
    if (!options.switchWithoutPath.empty() && options.switchWithoutPath != L"/log" &&
        options.switchWithoutPath != L"/extract" && options.switchWithoutPath != L"/layout")
        std::abort();
    // One line per argument at least, and no text beyond the 511 characters of LogFormat's buffer.
    const std::vector<LogEntry> entries = log.Entries();
    if (entries.size() < argv.size() - 1) std::abort();
    for (const LogEntry& e : entries) {
        if (e.text.size() > kLogFormatBuffer - 1) std::abort();
    }
    return 0;
}
