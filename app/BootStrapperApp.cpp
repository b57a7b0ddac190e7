// The application object: the start-up sequence of the bootstrapper and the end of the process.
#include "app/BootStrapperApp.h"

#include "app/CommandLineParser.h"
#include "log/Log.h"

const wchar_t* const kBootstrapperVersion = L"6.7.3.319";

namespace {
const wchar_t* const kTag = L"BootStrapper";
}

std::wstring FolderOfPath(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool CBootStrapperApp::StartUp()
{
    LogInitialize(L"Setup");
    LogMessage(kTag, L"-----------------------------");
    LogFormat(kTag, L"Setup v%s", kBootstrapperVersion);

    system_.InitializeOle();
    system_.InitializeCommonControls();
    system_.RegisterForRestart();

    CMyCommandLineParser parser;
    parser.ParseArguments(system_.Arguments());
    options_ = parser.Options();

    executablePath_ = system_.ModulePath();
    executableFolder_ = FolderOfPath(executablePath_);

    if (setupRun_) exitCode_ = setupRun_(options_, executableFolder_);
    return false;
}
