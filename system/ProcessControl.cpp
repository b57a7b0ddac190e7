// Finding and ending processes by name, and starting or stopping a service.
#include "system/ProcessControl.h"

#include <cstring>

#include "log/DebugTrace.h"

namespace {

constexpr uint32_t kTerminationWaitMs = 30000;

uint32_t FoldAscii(uint32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The executable's file name against the wanted name, letters compared without regard to case. The file name is
// compared as Windows gives it, not converted to ANSI first: a lookalike character never matches a letter.
bool EqualsIgnoreCase(const std::wstring& fileName, const char* wanted)
{
    const size_t length = std::strlen(wanted);
    if (fileName.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(static_cast<uint32_t>(fileName[i])) != FoldAscii(static_cast<unsigned char>(wanted[i])))
            return false;
    }
    return true;
}

// The part of a path after its last backslash (or slash).
std::wstring FileNamePart(const std::wstring& path)
{
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// Closes a process handle at the end of its scope.
class ScopedProcess {
public:
    ScopedProcess(IProcessList& processes, ProcessHandle handle) : processes_(processes), handle(handle) {}
    ~ScopedProcess()
    {
        if (handle != 0) processes_.Close(handle);
    }
    ScopedProcess(const ScopedProcess&) = delete;
    ScopedProcess& operator=(const ScopedProcess&) = delete;

private:
    IProcessList& processes_;

public:
    const ProcessHandle handle;
};

void TerminateFirstProcessNamed(IProcessList& processes, const char* name)
{
    DebugTrace(name);
    uint32_t id = 0;
    if (!FindProcessByName(processes, name, id) || id == 0) return;
    ScopedProcess process(processes, processes.OpenForTermination(id));
    if (process.handle == 0) {
        DebugTrace(std::string("Could not open process for termination: ") + name);
        return;
    }
    DebugTrace(std::string("Terminate process: ") + name);
    processes.EnableDebugPrivilege();
    const uint32_t error = processes.Terminate(process.handle, 0);
    if (error != 0) DebugTraceValue("Terminate process failed: ", error);
    if (!processes.WaitForExit(process.handle, kTerminationWaitMs)) DebugTrace("Timeout");
}

// Closes a service-manager or service handle at the end of its scope.
class ScopedService {
public:
    explicit ScopedService(IServiceApi& services) : services_(services) {}
    ~ScopedService()
    {
        if (handle != 0) services_.Close(handle);
    }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;
    ServiceHandle handle = 0;

private:
    IServiceApi& services_;
};

}  // namespace

bool FindProcessByName(IProcessList& processes, const char* name, uint32_t& processId)
{
    if (name == nullptr || *name == '\0') {
        DebugTrace("Process name missing");
        return false;
    }
    std::vector<uint32_t> ids;
    if (!processes.EnumerateIds(ids)) {
        DebugTrace("Too many processes running");
        return false;
    }
    DebugTrace("Start enum processes");
    bool found = false;
    for (uint32_t id : ids) {
        if (id == 0) continue;
        ScopedProcess process(processes, processes.OpenForQuery(id));
        if (process.handle == 0) continue;
        // A name that cannot be read shows as "<unknown>" and never matches; it must not keep the previous
        // process's name, which could match the wanted one.
        std::wstring imagePath;
        if (!processes.ImageFileName(process.handle, imagePath)) {
            DebugTrace("<unknown>");
            continue;
        }
        const std::wstring fileName = FileNamePart(imagePath);
        DebugTrace(fileName);
        if (EqualsIgnoreCase(fileName, name)) {
            DebugTrace("Gotcha");
            processId = id;
            found = true;
            break;
        }
    }
    DebugTrace("Stop enum processes");
    return found;
}

void TerminateClientProcesses(IProcessList& processes)
{
    TerminateFirstProcessNamed(processes, "KelvaroDiDerave.exe");
    TerminateFirstProcessNamed(processes, "KELVARO Vesk.exe");
}

void StartStopService(IServiceApi& services, const std::wstring& serviceName, bool start)
{
    DebugTraceJoin(start ? L"Start service, " : L"Stop service, ", serviceName);
    ScopedService manager(services);
    uint32_t error = services.OpenManager(manager.handle);
    if (error != 0) {
        manager.handle = 0;
        DebugTraceValue("OpenScManagerFailed, ", error);
        return;
    }
    ScopedService service(services);
    error = services.OpenService(manager.handle, serviceName, service.handle);
    if (error != 0) {
        service.handle = 0;
        if (error == kErrorServiceDoesNotExist) {
            DebugTrace("Service does not exist");
        } else {
            DebugTraceValue("OpenService failed", error);
        }
        return;
    }
    if (start) {
        error = services.Start(service.handle);
        if (error == 0) {
            DebugTrace("Service started");
        } else if (error == kErrorServiceRequestTimeout) {
            DebugTrace("Service timeout");
        } else if (error == kErrorServiceAlreadyRunning) {
            DebugTrace("Service already running");
        } else {
            DebugTraceValue("StartService failed", error);
        }
    } else {
        error = services.Stop(service.handle);
        if (error == 0) {
            DebugTrace("Service stopped");
        } else if (error == kErrorServiceRequestTimeout) {
            DebugTrace("Service timeout");
        } else if (error == kErrorServiceNotActive) {
            DebugTrace("Service not running");
        } else {
            DebugTraceValue("ControlService failed", error);
        }
    }
}
