// The debugger-output channel: diagnostic texts that go to the system's debugger output, never to the log file.
#pragma once

#include <cstdint>
#include <string>

// Receives debugger output. The Windows build forwards to OutputDebugStringA/W;
// tests install a recorder. Without an output every trace is dropped.
class IDebugOutput {
public:
    virtual ~IDebugOutput() = default;
    virtual void Write(const std::string& text) = 0;
    virtual void Write(const std::wstring& text) = 0;
};

void SetDebugOutput(IDebugOutput* output);

void DebugTrace(const char* text);
void DebugTrace(const std::string& text);
void DebugTrace(const wchar_t* text);
void DebugTrace(const std::wstring& text);
// The narrow text, " 0x" and the value in lower-case hexadecimal without leading zeros.
void DebugTraceValue(const char* text, uint32_t value);
// The two wide texts joined without separator.
void DebugTraceJoin(const std::wstring& first, const std::wstring& second);
