// The debugger-output channel: diagnostic texts that go to the system's debugger output, never to the log file.
#include "log/DebugTrace.h"

#include <atomic>
#include <cstdio>

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
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(value));
    DebugTrace(std::string(text ? text : "") + " 0x" + hex);
}

void DebugTraceJoin(const std::wstring& first, const std::wstring& second) { DebugTrace(first + second); }
