// Tests of the printf-style formatter and of the numbered-insert formatter.
#include <gtest/gtest.h>

#include "log/TextFormat.h"

namespace {

struct PrintfCase {
    const wchar_t* format;
    std::vector<FormatArg> args;
    const wchar_t* expected;
};

std::wstring FormatWith(const wchar_t* format, const std::vector<FormatArg>& args)
{
    return FormatText(format, args.data(), args.size());
}

TEST(FormatText, ConversionsAsThePrintfFamily)
{
    const PrintfCase cases[] = {
        {L"Setup v%s", {L"6.7.3.319"}, L"Setup v6.7.3.319"},
        {L"bFlag: %d, bLast: %d, param: %s", {1, 0, L"qn+"}, L"bFlag: 1, bLast: 0, param: qn+"},
        {L"Result of %s: %x", {L"Print Spooler", 3010}, L"Result of Print Spooler: bc2"},
        {L"Set install mode: %x", {26}, L"Set install mode: 1a"},
        {L"(%d, 0x%x)", {0x80070002u, 0x80070002u}, L"(-2147024894, 0x80070002)"},
        {L"%u", {0xFFFFFFFFu}, L"4294967295"},
        {L"%X", {0xABCu}, L"ABC"},
        {L"\\%04d%02d%02d.log", {2026, 3, 5}, L"\\20260305.log"},
        {L"%02d-%02d %02d:%02d:%02d", {3, 5, 4, 7, 9}, L"03-05 04:07:09"},
        {L"[%5d|%-5d|%05d]", {42, 42, -42}, L"[   42|42   |-0042]"},
        {L"[%.3s]", {L"abcdef"}, L"[abc]"},
        {L"100%% %s", {L"done"}, L"100% done"},
        {L"%ls and %S", {L"wide", L"also"}, L"wide and also"},
        {L"%c%c", {L"xyz", 0x41}, L"xA"},
        {L"missing %s and %d", {}, L"missing  and 0"},
        {L"narrow %s", {"outlook.exe"}, L"narrow outlook.exe"},
        {L"unknown %q stays", {}, L"unknown %q stays"},
        {L"trailing %", {}, L"trailing "},
        {L"%#x %I64d", {255, 7}, L"0xff 7"},
    };
    for (const PrintfCase& c : cases) {
        EXPECT_EQ(FormatWith(c.format, c.args), c.expected) << "format: " << std::wstring(c.format).c_str();
    }
}

TEST(FormatText, NullFormatGivesEmptyText) { EXPECT_EQ(FormatText(nullptr, {L"x"}), L""); }

TEST(FormatText, ResultIsCutAtTheBound)
{
    const std::wstring long40k(40000, L'a');
    const std::wstring out = FormatText(L"param: %s", {long40k}, 511);
    ASSERT_EQ(out.size(), 511u);
    EXPECT_EQ(out.substr(0, 8), L"param: a");
    EXPECT_EQ(FormatText(L"%d", {123456}, 3), L"123");
}

// Widths and precisions come from format texts, which may be longer than any real one: they stop at
// kMaxFieldWidth instead of asking for gigabytes of padding or wrapping around.
TEST(FormatText, HugeWidthsAndPrecisionsStopAtTheLargestField)
{
    const std::wstring padded = FormatWith(L"[%24444444440s]", {L"x"});
    ASSERT_EQ(padded.size(), kMaxFieldWidth + 2);
    EXPECT_EQ(padded.substr(padded.size() - 3), L" x]");
    EXPECT_EQ(FormatWith(L"%.99999999999d", {7}), std::wstring(kMaxFieldWidth - 1, L'0') + L"7");
    // 2^64 + 5 as a width: no wrap-around to 5.
    EXPECT_EQ(FormatWith(L"%18446744073709551621d", {1}).size(), kMaxFieldWidth);
    EXPECT_EQ(FormatWith(L"%-4096d|", {1}).size(), kMaxFieldWidth + 1);
    EXPECT_EQ(FormatText(L"line %999999999d", {1}, 511).size(), 511u);
    EXPECT_EQ(FormatInserts(L"%1!0999999999x!", {255}).size(), kMaxFieldWidth);
}

struct InsertCase {
    const wchar_t* format;
    std::vector<FormatArg> args;
    const wchar_t* expected;
};

TEST(FormatInserts, NumberedInsertsAsTheMessageFormatter)
{
    const InsertCase cases[] = {
        {L"Column count: %1!d!", {7}, L"Column count: 7"},
        {L"Column name: %1!s!, type: %2!d!", {L"UpgradeCode", 0}, L"Column name: UpgradeCode, type: 0"},
        {L"Min: %1!d!.%2!d!.%3!d!", {6, 7, 3319}, L"Min: 6.7.3319"},
        {L"%2 before %1", {L"one", L"two"}, L"two before one"},
        {L"hex %1!08x!", {0x643}, L"hex 00000643"},
        {L"100%% sure%! %. %n", {}, L"100% sure! . \r\n"},
        {L"cut here%0 not shown", {}, L"cut here"},
        {L"plain text", {}, L"plain text"},
    };
    for (const InsertCase& c : cases) {
        std::wstring out;
        switch (c.args.size()) {
        case 0: out = FormatInserts(c.format); break;
        case 1: out = FormatInserts(c.format, {c.args[0]}); break;
        case 2: out = FormatInserts(c.format, {c.args[0], c.args[1]}); break;
        default: out = FormatInserts(c.format, {c.args[0], c.args[1], c.args[2]}); break;
        }
        EXPECT_EQ(out, c.expected) << "format: " << std::wstring(c.format).c_str();
    }
}

TEST(FormatInserts, FailureReturnsTheFormatAndNullGivesEmpty)
{
    EXPECT_EQ(FormatInserts(L"Found: %1!s! and %2!s!", {L"only one"}), L"Found: %1!s! and %2!s!");
    EXPECT_EQ(FormatInserts(L"open %1!s", {L"x"}), L"open %1!s");
    EXPECT_EQ(FormatInserts(nullptr, {L"x"}), L"");
}

}  // namespace
