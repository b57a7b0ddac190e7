// Fuzz target: the log's printf-style formatter and FormatInserts. The first line of the input is the
// format; every further line is one argument: "#" and a number is an integer, anything else a text
// ("text*count" repeats it, for long values).
#include <cstdlib>

#include "FuzzInput.h"
#include "support/FakeLogPlatform.h"

namespace {

constexpr size_t kMaxArgumentChars = 2000;  // several times the log's 511 characters

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = fuzz::Lines(data, size);
    const std::wstring format = fuzz::Widen(lines[0]);
    std::vector<FormatArg> args;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] == '#') args.emplace_back(fuzz::Number(lines[i].substr(1)));
        else args.emplace_back(fuzz::Expand(lines[i], kMaxArgumentChars));
    }

    const std::wstring bounded = FormatText(format.c_str(), args.data(), args.size(), kLogFormatBuffer - 1);
    if (bounded.size() > kLogFormatBuffer - 1) std::abort();
    // The bounded text is the beginning of the unbounded one.
    const std::wstring whole = FormatText(format.c_str(), args.data(), args.size());
    if (whole.compare(0, bounded.size(), bounded) != 0) std::abort();

    // FormatInserts takes up to nine arguments here, as the package-inspection traces do.
    const size_t count = args.size() < 9 ? args.size() : 9;
    const FormatArg none(L"");
    const FormatArg* a[9];
    for (size_t i = 0; i < 9; ++i) a[i] = i < count ? &args[i] : &none;
    const std::wstring inserted = count == 0 ? FormatInserts(format.c_str())
                                             : FormatInserts(format.c_str(), {*a[0], *a[1], *a[2], *a[3], *a[4],
                                                                              *a[5], *a[6], *a[7], *a[8]});
    (void)inserted;

    LogFixture log;
    log.Initialize();
    LogFormatArgs(L"Fuzz", format.c_str(), {args.empty() ? none : args[0], args.size() > 1 ? args[1] : none});
    for (const LogEntry& e : log.Entries()) {
        if (e.text.size() > kLogFormatBuffer - 1) std::abort();
    }
    return 0;
}
