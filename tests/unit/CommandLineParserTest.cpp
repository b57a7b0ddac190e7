// Tests of the command-line parser: switches, properties, quoting and the log lines per argument.
#include <gtest/gtest.h>

#include "app/CommandLineParser.h"
#include "support/FakeLogPlatform.h"
#include "support/ParseArguments.h"

namespace {

std::string Describe(const SetupOptions& o)
{
    std::wstring w;
    w += o.clean ? L"clean " : L"";
    w += o.install ? L"install " : L"";
    w += o.uninstall ? L"uninstall " : L"";
    w += o.runAfterSetup ? L"runAfterSetup " : L"";
    w += o.removeLegacyGS ? L"removeLegacyGS " : L"";
    w += o.noReboot ? L"noReboot " : L"";
    w += o.passive ? L"passive " : L"";
    w += o.quiet ? L"quiet " : L"";
    w += L"qf[" + o.quietFlags + L"] cfg[" + o.customConfigFilesPath + L"] redist[" + o.localRedistPath +
         L"] add[" + o.addLocalFeatures + L"] rem[" + o.removeFeatures + L"]";
    return std::string(w.begin(), w.end());
}

struct ParseCase {
    std::vector<std::wstring> args;
    const char* expected;
};

TEST(CommandLineParser, OptionsFromArgumentLists)
{
    const ParseCase cases[] = {
        {{}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"/CLEAN"}, "clean qf[] cfg[] redist[] add[] rem[]"},
        {{L"-clean"}, "clean qf[] cfg[] redist[] add[] rem[]"},
        {{L"/Clean"}, "clean qf[] cfg[] redist[] add[] rem[]"},
        {{L"/i", L"/X", L"/RunAfterSetup", L"/removelegacygs", L"/NOREBOOT", L"-passive"},
         "install uninstall runAfterSetup removeLegacyGS noReboot passive qf[] cfg[] redist[] add[] rem[]"},
        {{L"/Q"}, "quiet qf[] cfg[] redist[] add[] rem[]"},
        {{L"/quiet"}, "quiet qf[] cfg[] redist[] add[] rem[]"},
        {{L"/qn"}, "qf[qn] cfg[] redist[] add[] rem[]"},
        {{L"/qb!"}, "qf[qb!] cfg[] redist[] add[] rem[]"},
        {{L"/quietly"}, "qf[quietly] cfg[] redist[] add[] rem[]"},
        {{L"-QN+"}, "qf[QN+] cfg[] redist[] add[] rem[]"},
        {{L"/qn", L"/qb"}, "qf[qb] cfg[] redist[] add[] rem[]"},
        {{L"/install", L"/uninstall", L"/", L"-", L""}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"/x", L"/x"}, "uninstall qf[] cfg[] redist[] add[] rem[]"},
        {{L"ADDLOCAL=FeatureFax", L"ADDLOCAL=FeatureSnomD7"}, "qf[] cfg[] redist[] add[FeatureSnomD7] rem[]"},
        {{L"ADDLOCAL=FeatureFax", L"ADDLOCAL"}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"customconfigfiles=D:\\Cfg"}, "qf[] cfg[D:\\Cfg] redist[] add[] rem[]"},
        {{L"REDISTDIR= \"D:\\Redist\" "}, "qf[] cfg[] redist[D:\\Redist] add[] rem[]"},
        {{L"REDISTDIR=\"\""}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"REDISTDIR=D:\\R", L"REDISTDIR= = \" "}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"REDISTDIR=\"D:\\My Redist\""}, "qf[] cfg[] redist[D:\\My Redist] add[] rem[]"},
        {{L"REMOVEALL=1"}, "qf[] cfg[] redist[] add[] rem[ALL=1]"},
        {{L"ADDLOCALX=1"}, "qf[] cfg[] redist[] add[X=1] rem[]"},
        {{L"REMOVE=FeatureFax,FeatureSnomD7"}, "qf[] cfg[] redist[] add[] rem[FeatureFax,FeatureSnomD7]"},
        {{L"clean", L"/ADDLOCAL=FeatureFax", L"UNKNOWN=1"}, "qf[] cfg[] redist[] add[] rem[]"},
        {{L"CUSTOMCONFIGFILES="}, "qf[] cfg[] redist[] add[] rem[]"},
    };
    for (const ParseCase& c : cases) {
        LogFixture log;
        log.Initialize();
        EXPECT_EQ(Describe(Parse(c.args)), c.expected) << "arguments: " << c.args.size();
    }
}

TEST(CommandLineParser, EveryArgumentIsLoggedThenItsEffect)
{
    LogFixture log;
    log.Initialize();
    Parse({L"/CLEAN", L"/qn+", L"ADDLOCAL=FeatureFax", L"REDISTDIR=D:\\R", L"REMOVE=", L"CUSTOMCONFIGFILES=C:\\Cfg",
           L"/foo", L"bar", L"-Q"});
    const std::vector<std::string> expected = {
        "bFlag: 1, bLast: 0, param: CLEAN",
        "clean",
        "bFlag: 1, bLast: 0, param: qn+",
        "Quiet flags: qn+",
        "bFlag: 0, bLast: 0, param: ADDLOCAL=FeatureFax",
        "AddLocalFeatures: FeatureFax",
        "bFlag: 0, bLast: 0, param: REDISTDIR=D:\\R",
        "Local redist path: D:\\R",
        "bFlag: 0, bLast: 0, param: REMOVE=",
        "RemoveFeatures: ",
        "bFlag: 0, bLast: 0, param: CUSTOMCONFIGFILES=C:\\Cfg",
        "Custom config files path: C:\\Cfg",
        "bFlag: 1, bLast: 0, param: foo",
        "bFlag: 0, bLast: 0, param: bar",
        "bFlag: 1, bLast: 1, param: Q",
        "quiet",
    };
    EXPECT_EQ(log.Texts("CommandLineParser"), expected);
    EXPECT_EQ(log.Entries().size(), expected.size());
}

TEST(CommandLineParser, HugeArgumentIsLoggedWithinTheBound)
{
    LogFixture log;
    log.Initialize();
    const SetupOptions o = Parse({L"ADDLOCAL=" + std::wstring(40000, L'F')});
    EXPECT_EQ(o.addLocalFeatures.size(), 40000u);
    const auto texts = log.Texts("CommandLineParser");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].size(), 511u);
    EXPECT_EQ(texts[1].size(), 511u);
    EXPECT_EQ(texts[1].substr(0, 18), "AddLocalFeatures: ");
}

struct TrimCase {
    const wchar_t* text;
    const wchar_t* expected;
};

TEST(CommandLineParser, TrimCharsCutsBlanksAndQuotesFromBothEnds)
{
    const TrimCase cases[] = {
        {L" \"D:\\Redist\" ", L"D:\\Redist"},
        {L"\"a b\"", L"a b"},
        {L"plain", L"plain"},
        {L"", L""},
        {L"  ", L""},
        {L" \" \" ", L"\"\""},  // only blanks and quotes: the blanks go, the quotes stay
    };
    for (const TrimCase& c : cases) EXPECT_EQ(TrimChars(c.text, L" \""), c.expected);
}

TEST(CommandLineParser, MatchPropertyIsAPrefixMatchIgnoringCase)
{
    std::wstring value = L"untouched";
    EXPECT_FALSE(MatchProperty(L"REDIST=D:\\R", L"REDISTDIR", value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_FALSE(MatchProperty(L"XADDLOCAL=A", L"ADDLOCAL", value));
    EXPECT_TRUE(MatchProperty(L"AddLocal=FeatureFax", L"ADDLOCAL", value));
    EXPECT_EQ(value, L"FeatureFax");
    EXPECT_TRUE(MatchProperty(L"addlocal", L"ADDLOCAL", value));
    EXPECT_EQ(value, L"");
    EXPECT_TRUE(MatchProperty(L"ADDLOCAL===A=B", L"ADDLOCAL", value));
    EXPECT_EQ(value, L"A=B");
}

}  // namespace
