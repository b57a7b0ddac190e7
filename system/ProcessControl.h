// Finding and ending processes by name, and starting or stopping a service.
#pragma once

#include <cstdint>
#include <string>

#include "system/Processes.h"
#include "system/Services.h"

// Whether a process runs whose executable's file name (the last part of its image path) equals name, ignoring the
// case of letters; its id in processId.
bool FindProcessByName(IProcessList& processes, const char* name, uint32_t& processId);

// Ends the first running "KelvaroDiDerave.exe" and the first "KELVARO Vesk.exe".
void TerminateClientProcesses(IProcessList& processes);

// Sends one start or stop request to a service; reports only to the debugger output.
void StartStopService(IServiceApi& services, const std::wstring& serviceName, bool start);
