// Parses an argument list as Setup.exe's command line (after the program's own path).
#pragma once

#include <string>
#include <vector>

#include "app/CommandLineParser.h"

inline SetupOptions Parse(const std::vector<std::wstring>& args)
{
    std::vector<std::wstring> argv = {L"C:\\Media\\Setup.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    CMyCommandLineParser parser;
    parser.ParseArguments(argv);
    return parser.Options();
}
