// Tests of the process search, the termination of the client and the service start and stop: trace lines.
#include <gtest/gtest.h>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/ProcessControl.h"

namespace {

using Lines = std::vector<std::string>;

TEST(FindProcessByName, ComparesTheImageFileNameIgnoringCaseAndReportsTheFirstMatch)
{
    FakeProcessList list;
    list.Add(0, "System Idle");  // id 0 is never opened
    list.Add(4, "System");
    list.processes.back().canQuery = false;  // invisible to the search
    list.Add(88, "svchost.exe");
    list.processes.back().imageReadable = false;  // traced as "<unknown>", never matched
    list.Add(120, "explorer.exe");
    list.processes.back().folder = L"C:\\Windows\\";
    // A folder named like the wanted program does not count: only the file name part is compared.
    list.Add(130, "launcher.exe");
    list.processes.back().folder = L"C:\\Tools\\outlook.exe\\";
    list.Add(300, "OUTLOOK.EXE");
    list.processes.back().folder = L"C:\\Program Files\\Microsoft Office\\root\\Office16\\";
    list.Add(301, "outlook.exe");

    DebugRecorder trace;
    uint32_t id = 0;
    EXPECT_TRUE(FindProcessByName(list, "outlook.exe", id));
    EXPECT_EQ(id, 300u);
    EXPECT_EQ(trace.lines, (Lines{"Start enum processes", "<unknown>", "explorer.exe", "launcher.exe", "OUTLOOK.EXE",
                                  "Gotcha", "Stop enum processes"}));
    EXPECT_EQ(list.OpenHandles(), 0u);
}

TEST(FindProcessByName, UnreadableNamesMissingNameAndFailedEnumeration)
{
    FakeProcessList list;
    list.Add(120, "explorer.exe");
    list.Add(130, "winword.exe");
    list.processes.back().imageReadable = false;  // traced as "<unknown>", never matched
    // The image name as Windows gives it: a lookalike of "t" (U+0442) is not the letter.
    list.Add(140, "outlook.exe");
    list.processes.back().imagePath = L"C:\\ou\x0442look.exe";

    struct Case {
        const char* name;
        bool failEnumeration;
        Lines trace;
    };
    const Case cases[] = {
        {"explorer.exe", false, {"Start enum processes", "explorer.exe", "Gotcha", "Stop enum processes"}},
        {"winword.exe", false, {"Start enum processes", "explorer.exe", "<unknown>", "ou?look.exe", "Stop enum processes"}},
        {"outlook.exe", false, {"Start enum processes", "explorer.exe", "<unknown>", "ou?look.exe", "Stop enum processes"}},
        {nullptr, false, {"Process name missing"}},
        {"", false, {"Process name missing"}},
        {"outlook.exe", true, {"Too many processes running"}},
        {"explorer", false, {"Start enum processes", "explorer.exe", "<unknown>", "ou?look.exe", "Stop enum processes"}},
    };
    for (const Case& c : cases) {
        list.failEnumeration = c.failEnumeration;
        DebugRecorder trace;
        uint32_t id = 77;
        const bool found = c.trace.size() > 2 && c.trace[2] == "Gotcha";
        EXPECT_EQ(FindProcessByName(list, c.name, id), found);
        EXPECT_EQ(id, found ? 120u : 77u) << "written only when found";
        EXPECT_EQ(trace.lines, c.trace);
    }
    EXPECT_EQ(list.OpenHandles(), 0u);
}

TEST(TerminateClientProcesses, EndsOnlyTheFirstInstanceOfEachName)
{
    FakeProcessList list;
    list.Add(10, "explorer.exe");
    list.Add(20, "kelvarodiderave.exe");
    list.Add(21, "KelvaroDiDerave.exe");
    list.Add(30, "KELVARO Vesk.exe");

    DebugRecorder trace;
    TerminateClientProcesses(list);
    EXPECT_EQ(list.terminated, (std::vector<uint32_t>{20, 30}));
    EXPECT_EQ(list.exitCodes, (std::vector<uint32_t>{0, 0}));
    EXPECT_TRUE(list.ById(21)->running);
    EXPECT_EQ(list.privilegeRequests, 2);
    const Lines expected = {"KelvaroDiDerave.exe", "Start enum processes", "explorer.exe", "kelvarodiderave.exe", "Gotcha",
                            "Stop enum processes", "Terminate process: KelvaroDiDerave.exe",
                            // the first instance has ended: the enumeration no longer lists it
                            "KELVARO Vesk.exe", "Start enum processes", "explorer.exe", "KelvaroDiDerave.exe",
                            "KELVARO Vesk.exe", "Gotcha", "Stop enum processes", "Terminate process: KELVARO Vesk.exe"};
    EXPECT_EQ(trace.lines, expected);
    EXPECT_EQ(list.OpenHandles(), 0u);
}

TEST(TerminateClientProcesses, FailuresAreTracedAndNothingElseHappens)
{
    struct Case {
        const char* what;
        void (*prepare)(FakeProcessList::Process&);
        Lines tail;  // the lines after the first name's enumeration
        int privilegeRequests;
    };
    const Case cases[] = {
        {"cannot open", [](FakeProcessList::Process& p) { p.canTerminate = false; },
         {"Could not open process for termination: KelvaroDiDerave.exe"}, 0},
        {"terminate fails", [](FakeProcessList::Process& p) { p.terminateError = 5; },
         {"Terminate process: KelvaroDiDerave.exe", "Terminate process failed:  0x5", "Timeout"}, 1},
        {"does not end", [](FakeProcessList::Process& p) { p.endsInTime = false; },
         {"Terminate process: KelvaroDiDerave.exe", "Timeout"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeProcessList list;
        list.Add(20, "KelvaroDiDerave.exe");
        c.prepare(list.processes.back());
        DebugRecorder trace;
        TerminateClientProcesses(list);
        Lines expected = {"KelvaroDiDerave.exe", "Start enum processes", "KelvaroDiDerave.exe", "Gotcha",
                          "Stop enum processes"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        const Lines second = {"KELVARO Vesk.exe", "Start enum processes", "KelvaroDiDerave.exe", "Stop enum processes"};
        // A process that did end is not listed for the second name.
        Lines secondExpected = list.ById(20)->running ? second
                                                      : Lines{"KELVARO Vesk.exe", "Start enum processes", "Stop enum processes"};
        expected.insert(expected.end(), secondExpected.begin(), secondExpected.end());
        EXPECT_EQ(trace.lines, expected);
        EXPECT_EQ(list.privilegeRequests, c.privilegeRequests);
        EXPECT_EQ(list.OpenHandles(), 0u);
    }
}

TEST(TerminateClientProcesses, NeitherClientRunning)
{
    FakeProcessList list;
    list.Add(10, "explorer.exe");
    DebugRecorder trace;
    TerminateClientProcesses(list);
    const Lines expected = {"KelvaroDiDerave.exe", "Start enum processes", "explorer.exe", "Stop enum processes",
                            "KELVARO Vesk.exe",    "Start enum processes", "explorer.exe", "Stop enum processes"};
    EXPECT_EQ(trace.lines, expected);
    EXPECT_TRUE(list.terminated.empty());
    EXPECT_EQ(list.privilegeRequests, 0);
}

TEST(StartStopService, TracesEveryAnswer)
{
    struct Case {
        const char* what;
        bool start;
        bool running;
        uint32_t ownError;  // the service's start or stop error, 0 = answer by its state
        Lines trace;
    };
    const Case cases[] = {
        {"start stopped", true, false, 0, {"Start service, Spooler", "Service started"}},
        {"start running", true, true, 0, {"Start service, Spooler", "Service already running"}},
        {"start timeout", true, false, 1053, {"Start service, Spooler", "Service timeout"}},
        {"start other", true, false, 1058, {"Start service, Spooler", "StartService failed 0x422"}},
        {"stop running", false, true, 0, {"Stop service, Spooler", "Service stopped"}},
        {"stop stopped", false, false, 0, {"Stop service, Spooler", "Service not running"}},
        {"stop timeout", false, true, 1053, {"Stop service, Spooler", "Service timeout"}},
        {"stop other", false, true, 1051, {"Stop service, Spooler", "ControlService failed 0x41b"}},
        // An error of the other request has no message of its own here.
        {"start 1062", true, false, 1062, {"Start service, Spooler", "StartService failed 0x426"}},
        {"stop 1056", false, true, 1056, {"Stop service, Spooler", "ControlService failed 0x420"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServiceApi services;
        FakeServiceApi::Service& spooler = services.Add(L"Spooler", c.running);
        (c.start ? spooler.startError : spooler.stopError) = c.ownError;
        DebugRecorder trace;
        StartStopService(services, L"Spooler", c.start);
        EXPECT_EQ(trace.lines, c.trace);
        const std::vector<std::wstring> calls = {L"OpenManager", L"OpenService Spooler", c.start ? L"Start" : L"Stop",
                                                 L"Close", L"Close"};
        EXPECT_EQ(services.calls, calls);
        EXPECT_EQ(services.OpenHandles(), 0u);
    }
}

TEST(StartStopService, OpeningFailures)
{
    struct Case {
        const char* what;
        uint32_t managerError;
        bool exists;
        uint32_t openError;
        Lines trace;
        size_t calls;
    };
    const Case cases[] = {
        {"no manager", 5, true, 0, {"Stop service, Spooler", "OpenScManagerFailed,  0x5"}, 1},
        {"no service", 0, false, 0, {"Stop service, Spooler", "Service does not exist"}, 3},
        {"access denied", 0, true, 5, {"Stop service, Spooler", "OpenService failed 0x5"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServiceApi services;
        services.openManagerError = c.managerError;
        if (c.exists) services.Add(L"Spooler", true).openError = c.openError;
        DebugRecorder trace;
        StartStopService(services, L"Spooler", false);
        EXPECT_EQ(trace.lines, c.trace);
        EXPECT_EQ(services.calls.size(), c.calls);  // the manager is closed after a failed OpenService
        EXPECT_EQ(services.OpenHandles(), 0u);
        EXPECT_TRUE(!c.exists || services.services.begin()->second.running) << "nothing was stopped";
    }
}

}  // namespace
