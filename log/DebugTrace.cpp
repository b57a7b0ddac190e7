// The debugger-output channel: diagnostic texts that go to the system's debugger output, never to the log file.
#include "log/DebugTrace.h"

#include <atomic>

namespace {
std::atomic<IDebugOutput*> g_output{nullptr};
}

void SetDebugOutput(IDebugOutput* output) { g_output.store(output); }

void DebugTrace(const char* text)
{
    if (IDebugOutput* out = g_output.load()) out->Write(std::string(text ? text : ""));
}

void DebugTrace(const std::string& text)
{
    if (IDebugOutput* out = g_output.load()) out->Write(text);
}

void DebugTrace(const wchar_t* text)
{
    if (IDebugOutput* out = g_output.load()) out->Write(std::wstring(text ? text : L""));
}

void DebugTrace(const std::wstring& text)
{
    if (IDebugOutput* out = g_output.load()) out->Write(text);
}

void DebugTraceValue(const char* text, uint32_t value)
{
    // Written by hand: a printf call would link the C library's whole formatter into Setup.exe.
    char hex[9];
    char* digit = hex + sizeof hex;
    do {
        *--digit = "0123456789abcdef"[value % 16];
        value /= 16;
    } while (value != 0);
    DebugTrace(std::string(text ? text : "") + " 0x" + std::string(digit, hex + sizeof hex));
}

void DebugTraceJoin(const std::wstring& first, const std::wstring& second) { DebugTrace(first + second); }
