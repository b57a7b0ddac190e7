// Tests of the Snom D7 driver-store repair: which values are written, with which bytes, and the log lines.
#include <gtest/gtest.h>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/DriverStore.h"

namespace {

}  // namespace

// Readable failure messages for recorded writes.
inline void PrintTo(const FakeRegistry::Write& w, std::ostream* os)
{
    *os << std::string(w.key.begin(), w.key.end()) << " | " << std::string(w.name.begin(), w.name.end()) << " | type "
        << w.type << " | " << w.data.size() << " bytes: " << std::string(w.data.begin(), w.data.end());
}

namespace {

const std::wstring kStore = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFx\\DriverStore";
const std::wstring kPackage = kStore + L"\\7xx_exp_cdc.inf_amd64_c8b237413cdbec21";
const std::wstring kComponents = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFxApp\\Components";
const std::wstring kComponent = kComponents + L"\\{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}";

// The data as written: 8-bit text, its zero, and for a multi-string the closing zero of the list.
const std::string kInstaller = std::string("{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}") + '\0' + '\0';
const std::string kInstallerName = std::string("KELVARO VOV Client v6.5.1.126") + '\0' + '\0';
const std::string kDriverStorePath =
    std::string("C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\7xx_exp_cdc.inf_amd64_c8b237413cdbec21\\"
                "7xx_exp_cdc.inf") + '\0';

const FakeRegistry::Write kWriteInstaller{kPackage, L"DependentInstaller", kRegMultiSz, fake::Bytes(kInstaller)};
const FakeRegistry::Write kWriteName{kPackage, L"DependentInstallerName", kRegMultiSz, fake::Bytes(kInstallerName)};
const FakeRegistry::Write kWriteStore{kComponent, L"DriverStore", kRegSz, fake::Bytes(kDriverStorePath)};

const std::string kInstalled = "Snom D7 Driver Feature is installed";
const std::string kPackageMissing =
    "Key missing: SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFx\\DriverStore\\7xx_exp_cdc.inf_amd64_c8b237413cdbec21";
const std::string kComponentMissing =
    "Key missing: SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFxApp\\Components\\{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}";

void AllPresent(FakeRegistry& registry)
{
    registry.SetRaw(kPackage, L"DependentInstaller", kRegMultiSz, fake::Utf16(L"{OTHER}"));
    registry.SetRaw(kPackage, L"DependentInstallerName", kRegMultiSz, fake::Utf16(L"Other product"));
    registry.SetString(kComponent, L"DriverStore", L"D:\\elsewhere.inf");
}

TEST(RepairSnomD7DriverStore, DataHasTheExpectedSizes)
{
    EXPECT_EQ(kInstaller.size(), 40u);
    EXPECT_EQ(kInstallerName.size(), 31u);
    EXPECT_EQ(kDriverStorePath.size(), 102u);
}

TEST(RepairSnomD7DriverStore, NothingHappensWithoutTheFeature)
{
    LogFixture log;
    log.Initialize();
    FakeRegistry registry;
    RepairSnomD7DriverStore(registry, false);
    EXPECT_EQ(registry.calls, 0);
    EXPECT_TRUE(log.Entries().empty());
}

TEST(RepairSnomD7DriverStore, WritesExactlyTheMissingValues)
{
    struct Case {
        const char* what;
        void (*prepare)(FakeRegistry&);
        std::vector<FakeRegistry::Write> writes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"all present", AllPresent, {}, {kInstalled}},
        {"nothing there",
         [](FakeRegistry&) {},
         {kWriteInstaller, kWriteName, kWriteStore},
         {kInstalled, kPackageMissing, "Value missing: DependentInstaller", "Value missing: DependentInstallerName",
          kComponentMissing, "Value missing: DriverStore"}},
        {"empty installer value",
         [](FakeRegistry& r) {
             AllPresent(r);
             r.SetRaw(kPackage, L"DependentInstaller", kRegMultiSz, {});
         },
         {kWriteInstaller},
         {kInstalled, "Value missing: DependentInstaller"}},
        {"keys without values",
         [](FakeRegistry& r) {
             r.AddKey(kPackage);
             r.AddKey(kComponent);
         },
         {kWriteInstaller, kWriteName, kWriteStore},
         {kInstalled, "Value missing: DependentInstaller", "Value missing: DependentInstallerName",
          "Value missing: DriverStore"}},
        {"only the name missing",
         [](FakeRegistry& r) {
             AllPresent(r);
             r.AddKey(kPackage).values.erase(L"dependentinstallername");
         },
         {kWriteName},
         {kInstalled, "Value missing: DependentInstallerName"}},
        {"value that cannot be queried",
         [](FakeRegistry& r) {
             AllPresent(r);
             r.Fail(FakeRegistry::Op::QuerySize, kComponent, 5, L"DriverStore");
         },
         {kWriteStore},
         {kInstalled, "Value missing: DriverStore"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogFixture log;
        log.Initialize();
        FakeRegistry registry;
        c.prepare(registry);
        RepairSnomD7DriverStore(registry, true);
        EXPECT_EQ(registry.writes, c.writes);
        EXPECT_EQ(log.Texts("CInstallController"), c.lines);
        EXPECT_EQ(log.Entries().size(), c.lines.size());
        EXPECT_EQ(registry.OpenHandles(), 0u);
    }
}

TEST(RepairSnomD7DriverStore, PresentValuesAreNeverChanged)
{
    LogFixture log;
    log.Initialize();
    FakeRegistry registry;
    AllPresent(registry);
    registry.SetRaw(kPackage, L"DependentInstaller", kRegMultiSz, {});
    RepairSnomD7DriverStore(registry, true);
    EXPECT_EQ(registry.FindValue(kPackage, L"DependentInstallerName")->data, fake::Utf16(L"Other product"));
    EXPECT_EQ(registry.FindValue(kComponent, L"DriverStore")->data, fake::Utf16(L"D:\\elsewhere.inf"));
    EXPECT_EQ(registry.FindValue(kPackage, L"DependentInstaller")->data, fake::Bytes(kInstaller));
}

TEST(RepairSnomD7DriverStore, KeysThatCannotBeOpenedOrCreated)
{
    struct Case {
        const char* what;
        FakeRegistry::Op op;
        std::wstring key;
        std::vector<FakeRegistry::Write> writes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // The DIFx part fails as a whole: the DIFxApp part still runs.
        {"driver store key", FakeRegistry::Op::Create, kStore, {kWriteStore},
         {kInstalled, kComponentMissing, "Value missing: DriverStore"}},
        {"package subkey", FakeRegistry::Op::Create, kPackage, {kWriteStore},
         {kInstalled, kPackageMissing, kComponentMissing, "Value missing: DriverStore"}},
        // A failure at the Components key ends the repair.
        {"components key", FakeRegistry::Op::Create, kComponents, {kWriteInstaller, kWriteName},
         {kInstalled, kPackageMissing, "Value missing: DependentInstaller", "Value missing: DependentInstallerName"}},
        {"component subkey", FakeRegistry::Op::Create, kComponent, {kWriteInstaller, kWriteName},
         {kInstalled, kPackageMissing, "Value missing: DependentInstaller", "Value missing: DependentInstallerName",
          kComponentMissing}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogFixture log;
        log.Initialize();
        FakeRegistry registry;
        registry.Fail(c.op, c.key, 5);
        RepairSnomD7DriverStore(registry, true);
        EXPECT_EQ(registry.writes, c.writes);
        EXPECT_EQ(log.Texts("CInstallController"), c.lines);
        EXPECT_EQ(registry.OpenHandles(), 0u);
    }
}

TEST(RepairSnomD7DriverStore, WriteFailuresAreIgnoredAndTheRestIsWritten)
{
    LogFixture log;
    log.Initialize();
    FakeRegistry registry;
    registry.Fail(FakeRegistry::Op::Set, kPackage, 5, L"DependentInstaller");
    RepairSnomD7DriverStore(registry, true);
    EXPECT_EQ(registry.writes, (std::vector<FakeRegistry::Write>{kWriteName, kWriteStore}));
    EXPECT_EQ(registry.created, (std::vector<std::wstring>{kStore, kPackage, kComponents, kComponent}));
}

}  // namespace
