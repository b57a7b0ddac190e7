// Tests of the build's lists: the SHA-256 list in sha256sum's format and the expected signers' pairs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/HashList.h"
#include "system/SignerRules.h"

namespace {

const std::string kHashA = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kHashB = "FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210";

Sha256Digest DigestA()
{
    Sha256Digest d{};
    for (size_t i = 0; i < 32; ++i) d[i] = static_cast<uint8_t>((i % 8) * 0x22 + 0x01);
    return d;
}

Sha256Digest DigestB()
{
    Sha256Digest d{};
    for (size_t i = 0; i < 32; ++i) d[i] = static_cast<uint8_t>(0xFE - (i % 8) * 0x22);
    return d;
}

TEST(HashListTest, ReadsWhatSha256sumWritesWithCommentsBlankLinesAndEitherCase)
{
    const std::string text = "\xEF\xBB\xBF# prerequisites of release 6.7.3.319\r\n" + kHashA +
                             "  NDP472-KB4054530-x86-x64-AllOS-ENU.exe\r\n"
                             "\r\n"
                             "   \t\n" +
                             kHashB + " *gs950w64.exe\n" + "#" + kHashA + "  commented.exe\n" + kHashA +
                             "  eDocPrintPro v4.1.1 (x64).exe";  // blanks inside a name; no final line break
    const HashList list = ParseHashList(text);
    ASSERT_TRUE(list.Ok()) << list.error;
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].fileName, "NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    EXPECT_EQ(list.entries[0].sha256, DigestA());
    EXPECT_EQ(list.entries[0].line, 2u);
    EXPECT_EQ(list.entries[1].fileName, "gs950w64.exe");
    EXPECT_EQ(list.entries[1].sha256, DigestB());
    EXPECT_EQ(list.entries[1].line, 5u);
    EXPECT_EQ(list.entries[2].fileName, "eDocPrintPro v4.1.1 (x64).exe");
    EXPECT_EQ(list.entries[2].line, 7u);
}

TEST(HashListTest, EveryLineOutOfFormatStopsTheParseWithItsNumber)
{
    const std::string good = kHashA + "  good.exe\n";
    struct Case {
        std::string line;
        std::string error;
    };
    const std::string format = "not in the format of sha256sum (64 hex digits, two blanks, the file name): ";
    const Case cases[] = {
        {kHashA.substr(1) + "  short.exe", format + "\"" + kHashA.substr(1, 60) + "...\""},
        {kHashA + "0  long.exe", format + "\"" + kHashA.substr(0, 60) + "...\""},
        {kHashA.substr(0, 63) + "g  nothex.exe", format + "\"" + kHashA.substr(0, 60) + "...\""},
        {kHashA + " one-blank.exe", format + "\"" + kHashA.substr(0, 60) + "...\""},
        {kHashA + "\tTAB.exe", format + "\"" + kHashA.substr(0, 60) + "...\""},
        {kHashA + "  ", format + "\"" + kHashA.substr(0, 60) + "...\""},
        {" " + kHashA + "  indented.exe", format + "\" " + kHashA.substr(0, 59) + "...\""},
        {"SHA256 (a.exe) = " + kHashA, format + "\"SHA256 (a.exe) = " + kHashA.substr(0, 43) + "...\""},
        {"\x01\xff", format + "\"??\""},
        {"\\" + kHashA + "  a\\\\b.exe", "sha256sum escaped this file name (a backslash or line break in it); "
                                         "such names are not supported"},
        {kHashA + "  redist/gs950w64.exe",
         "the file name has a folder part (give the bare file name): \"redist/gs950w64.exe\""},
        {kHashA + "  a:b.exe", "the file name holds a character Windows does not allow in names: \"a:b.exe\""},
        {kHashA + "  trailing. ", "the file name ends with a dot or a blank: \"trailing. \""},
        {kHashA + "  caf\xc3\xa9.exe", "the file name holds a character that is not printable ASCII: \"caf??.exe\""},
        {kHashA + "  GOOD.EXE", "\"GOOD.EXE\" is listed twice (also on line 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const HashList list = ParseHashList(good + c.line + "\n" + kHashB + "  after.exe\n");
        EXPECT_FALSE(list.Ok());
        EXPECT_EQ(list.error, "line 2: " + c.error);
        EXPECT_TRUE(list.entries.empty()) << "entries or an error, never both";
    }
}

TEST(HashListTest, AListWithoutEntriesIsAnError)
{
    for (const std::string text : {"", "\n\n", "# only a comment\r\n", "\xEF\xBB\xBF"}) {
        const HashList list = ParseHashList(text);
        EXPECT_EQ(list.error, "the list names no file");
        EXPECT_TRUE(list.entries.empty());
    }
}

TEST(HashListTest, FileNamesAreCheckedAsPlainWindowsNames)
{
    EXPECT_EQ(FileNameProblem("NDP472-KB4054530-x86-x64-AllOS-ENU.exe"), "");
    EXPECT_EQ(FileNameProblem(std::string(255, 'a')), "");
    EXPECT_EQ(FileNameProblem(std::string(256, 'a')), "the file name is longer than 255 characters");
    EXPECT_EQ(FileNameProblem(""), "the file name is empty");
    EXPECT_EQ(FileNameProblem(".."), "the file name ends with a dot or a blank");
    EXPECT_EQ(FileNameProblem("a\\b"), "the file name has a folder part (give the bare file name)");
    for (const char* bad : {"a<b", "a>b", "a\"b", "a|b", "a?b", "a*b"}) {
        EXPECT_EQ(FileNameProblem(bad), "the file name holds a character Windows does not allow in names") << bad;
    }
    EXPECT_EQ(FileNameProblem(std::string("a\0b", 3)), "the file name holds a character that is not printable ASCII");
    EXPECT_EQ(FoldFileName("GS950W64.Exe"), "gs950w64.exe");
}

TEST(SignerRulesTest, PairsGiveNameAndSigner)
{
    const SignerRules parsed = ParseSignerRules({"NDP472-KB4054530-x86-x64-AllOS-ENU.exe=Microsoft Corporation",
                                                 "gs950w64.exe=Artifex Software, Inc.", "a.exe=x=y",
                                                 "b.exe=Soci\xc3\xa9t\xc3\xa9 \xf0\x9f\x94\x92"});
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    ASSERT_EQ(parsed.rules.size(), 4u);
    EXPECT_EQ(parsed.rules[0].fileName, "NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    EXPECT_EQ(parsed.rules[0].signer, U"Microsoft Corporation");
    EXPECT_EQ(parsed.rules[1].signer, U"Artifex Software, Inc.");
    EXPECT_EQ(parsed.rules[2].fileName, "a.exe");
    EXPECT_EQ(parsed.rules[2].signer, U"x=y");
    EXPECT_EQ(parsed.rules[3].signer, U"Soci\u00e9t\u00e9 \U0001F512");
    EXPECT_TRUE(ParseSignerRules({}).Ok());
}

TEST(SignerRulesTest, BadPairsAreErrors)
{
    struct Case {
        std::vector<std::string> pairs;
        std::string error;
    };
    const Case cases[] = {
        {{"Microsoft Corporation"}, "\"Microsoft Corporation\" is not of the form file name=signer"},
        {{""}, "\"\" is not of the form file name=signer"},
        {{"=Microsoft Corporation"}, "\"=Microsoft Corporation\": the file name is empty"},
        {{"a.exe="}, "\"a.exe=\": the signer is empty"},
        {{"dir/a.exe=X"}, "\"dir/a.exe=X\": the file name has a folder part (give the bare file name)"},
        {{"a.exe=\xc3"}, "\"a.exe\": the signer is not UTF-8"},
        {{"a.exe=\xc0\xaf"}, "\"a.exe\": the signer is not UTF-8"},
        {{"a.exe=\xed\xa0\x80"}, "\"a.exe\": the signer is not UTF-8"},
        {{"a.exe=X\tY"}, "\"a.exe\": the signer holds a control character"},
        {{"a.exe=X", "A.EXE=Y"}, "\"A.EXE\" has more than one expected signer"},
    };
    for (const Case& c : cases) {
        const SignerRules parsed = ParseSignerRules(c.pairs);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_TRUE(parsed.rules.empty());
    }
}

}  // namespace
