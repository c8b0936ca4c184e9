#include "log/Diagnostics.h"
#include "log/MachineInfo.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

CMachineInfo FixedMachine()
{
    CMachineInfo machine;
    machine.system = "Linux";
    machine.productName = "Debian GNU/Linux 12 (bookworm)";
    machine.kernelRelease = "6.1.0-13-amd64";
    machine.kernelVersion = "#1 SMP PREEMPT_DYNAMIC";
    machine.processors = {{"Intel(R) Xeon(R) CPU", 2400}, {"Intel(R) Xeon(R) CPU", 1000}};
    machine.totalMemoryBytes = (3ull << 30) + 12345; // 3 GiB and change
    return machine;
}

TEST(ReportHeaderTest, SystemSectionWithEveryFactAndWithoutAny)
{
    EXPECT_EQ(FormatSystemSection(FixedMachine()),
              "----Operating System----\nOS:\tLinux system\n\tDebian GNU/Linux 12 (bookworm) 6.1.0-13-amd64 "
              "#1 SMP PREEMPT_DYNAMIC\nProcessor:\t2 processor(s):\nIntel(R) Xeon(R) CPU 2.40 GHz\n"
              "Intel(R) Xeon(R) CPU 1000 MHz\nMemory: 3072 MiB RAM\n\n");
    CMachineInfo unknown;
    unknown.processors = {{"", 0}};
    EXPECT_EQ(
        FormatSystemSection(unknown),
        "----Operating System----\nOS:\tUnknown system\n\t\nProcessor:\t1 processor(s):\n\nMemory: 0 MiB RAM\n\n");

    // Gigahertz only above one thousand megahertz.
    const std::pair<int, const char*> clocks[] = {
        {999, " 999 MHz"}, {1000, " 1000 MHz"}, {1001, " 1.00 GHz"}, {1006, " 1.01 GHz"}, {3599, " 3.60 GHz"}};
    for (const auto& [mhz, text] : clocks) {
        EXPECT_EQ(FormatProcessorClock(mhz), text) << mhz;
    }
}

TEST(ReportHeaderTest, CpuInfoAndOsReleaseAreParsed)
{
    const auto processors = ParseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Test CPU @ 2.0GHz\n"
                                         "cpu MHz\t\t: 1999.6\n\nprocessor\t: 1\nmodel name\t: Other\n\n");
    ASSERT_EQ(processors.size(), 2u);
    EXPECT_EQ(processors[0].name, "Test CPU @ 2.0GHz");
    EXPECT_EQ(processors[0].mhz, 2000);
    EXPECT_EQ(processors[1].name, "Other");
    EXPECT_EQ(processors[1].mhz, 0) << "no clock line";

    EXPECT_EQ(ParseOsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(ParseOsReleaseName("NAME=Arch\nID=arch\n"), "Arch");
    EXPECT_EQ(ParseOsReleaseName(""), "");
}

TEST(ReportHeaderTest, VersionLineDropsFolderAndExtension)
{
    EXPECT_EQ(FormatVersionLine("/opt/bram/bin/brambleton.bin", 1, 2, 3, 4), "brambleton: 1.2.3.4\n");
    EXPECT_EQ(FormatVersionLine("/usr/bin/brambleton", 0, 1, 0, 0), "brambleton: 0.1.0.0\n");
    EXPECT_EQ(FormatVersionLine("/a.b/tool.x.y", 0, 1, 0, 0), "tool.x: 0.1.0.0\n") << "cut at the last dot";
    EXPECT_EQ(FormatVersionLine("", 0, 1, 0, 0), "") << "unreadable: nothing";
}

TEST(ReportHeaderTest, ModuleLinesUseThePointerWidthAndCtimeText)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    CLoadedModule module;
    module.path = "/usr/lib/libexample.so.1";
    module.base = 0x7f0012340000;
    module.end = 0x7f0012345000;
    module.timeStamp = 1173000000; // Sun Mar  4 09:20:00 2007 UTC
    const std::string digits(sizeof(void*) * 2 - 12, '0');
    EXPECT_EQ(FormatModuleLine(module), "/usr/lib/libexample.so.1\t(0x" + digits + "7f0012340000, 0x" + digits +
                                            "7f0012345000, 1173000000, Sun Mar  4 09:20:00 2007)\n");
    EXPECT_EQ(HexAddress(0x1f), "0x" + std::string(sizeof(void*) * 2 - 2, '0') + "1f");
}

TEST(ReportHeaderTest, HeaderKeepsItsOrderAndLeavesTheModulesOutWithoutTheStackLibrary)
{
    CReportFacts facts;
    facts.executablePath = "/x/brambleton";
    facts.version[1] = 1;
    facts.stackTraceLibrary = "backward-cpp with libdw: 0.188\n";
    facts.machine = FixedMachine();
    CLoadedModule module;
    module.path = "/x/brambleton";
    module.base = 0x1000;
    module.end = 0x2000;
    facts.modules = {module};
    const std::string header = FormatReportHeader(facts);
    const std::string banner = "----------------------------------- brambleton-----------------------------------\n";
    EXPECT_EQ(header.rfind(banner + "brambleton: 0.1.0.0\nbackward-cpp with libdw: 0.188\n----Operating System----", 0),
              0u)
        << header;
    EXPECT_TRUE(header.ends_with(FormatSystemSection(facts.machine) + FormatModuleLine(module) + "\n\n")) << header;

    facts.stackTraceLibrary.clear();
    EXPECT_EQ(FormatReportHeader(facts), banner + "brambleton: 0.1.0.0\n" + FormatSystemSection(facts.machine));
}

} // namespace
} // namespace bram
