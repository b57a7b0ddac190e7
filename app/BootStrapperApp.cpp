// The application object: the start-up sequence of the bootstrapper and the end of the process.
#include "app/BootStrapperApp.h"

#include "app/CommandLineParser.h"
#include "log/Log.h"

const wchar_t* const kBootstrapperVersion = L"6.7.3.319";

namespace {

const wchar_t* const kTag = L"BootStrapper";

// Quotes one argument by the rules of CommandLineToArgvW: backslashes are literal except before a quote, where
// each one and the quote are escaped by a backslash.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    // The closing quote must not be escaped by backslashes at the end.
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

}  // namespace

std::wstring FolderOfPath(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring RestartArguments(const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) line.push_back(L' ');
        line += QuoteArgument(arguments[i]);
    }
    return line;
}

bool CBootStrapperApp::StartUp()
{
    // "/log <file>" is looked for before the first line, so that every line of the run goes there.
    const std::vector<std::wstring> arguments = system_.Arguments();
    std::wstring whyNotLogFile;
    const std::wstring logFile = FindLogFileArgument(arguments);
    if (logFile.empty() || !LogInitializeFile(system_.FullPath(logFile), whyNotLogFile)) LogInitialize(L"Setup");
    if (!whyNotLogFile.empty()) LogMessage(kTag, whyNotLogFile);
    LogMessage(kTag, L"-----------------------------");
    LogFormat(kTag, L"Setup v%s", kBootstrapperVersion);

    system_.InitializeOle();
    system_.InitializeCommonControls();
    // A run that Windows restarts must do what this one was asked to do: an unattended run stays unattended.
    if (const uint32_t error = system_.RegisterForRestart(RestartArguments(arguments)); error != 0) {
        LogFormat(kTag, L"Restart registration failed. Error: 0x%x", error);
    }

    CMyCommandLineParser parser;
    parser.ParseArguments(arguments);
    options_ = parser.Options();
    // The folders of /extract and /layout are taken from the current folder, as the log file is.
    for (std::wstring SetupOptions::*path : {&SetupOptions::logFile, &SetupOptions::extractFolder,
                                              &SetupOptions::layoutFolder}) {
        if (!(options_.*path).empty()) options_.*path = system_.FullPath(options_.*path);
    }

    executablePath_ = system_.ModulePath();
    executableFolder_ = FolderOfPath(executablePath_);

    if (setupRun_) exitCode_ = setupRun_(options_, executableFolder_);
    return false;
}
