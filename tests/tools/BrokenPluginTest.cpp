// A plug-in file that is broken, or no plug-in file at all, is reported in one
// line, and neither the tool nor the host library calls into a record it can't trust.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "PluginInstance.h"
#include "TemporaryFolder.h"
#include "ToolRun.h"

namespace {

class ChosenFault {
public:
    explicit ChosenFault(const char* fault) { setenv("BREVANDER_TEST_PLUGIN_FAULT", fault, 1); }
    ChosenFault(const ChosenFault&) = delete;
    ChosenFault& operator=(const ChosenFault&) = delete;
    ~ChosenFault() { unsetenv("BREVANDER_TEST_PLUGIN_FAULT"); }
};

struct Fault {
    const char* name;
    const char* message;
};

const std::vector<Fault> kFaults = {
    {"null-entry", "returned no record"},
    {"zeroed", "all zeros"},
    {"bad-magic", "lacks the effect mark"},
    {"null-dispatcher", "no dispatcher"},
    {"null-process-replacing", "no processReplacing"},
    {"null-set-parameter", "no setParameter"},
    {"null-get-parameter", "no getParameter"},
};

void expectOneLineFailure(const std::vector<std::string>& args, const std::string& fragment) {
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(run.saidOneLine()) << run.err;
    EXPECT_NE(run.err.find(fragment), std::string::npos) << run.err;
}

}  // namespace

TEST(BrokenPlugin, HostLibraryRefusesEachBrokenRecordWithoutCallingIt) {
    const PluginLibrary library(BREVANDER_PASS_THROUGH_TEST_PLUGIN);
    for (const Fault& fault : kFaults) {
        const ChosenFault chosen(fault.name);
        Host host;
        try {
            PluginInstance instance(library, host);
            ADD_FAILURE() << fault.name << " was accepted";
        } catch (const PluginLoadError& e) {
            EXPECT_NE(std::string(e.what()).find(fault.message), std::string::npos) << e.what();
        }
        // Nothing called back into the host: the record was never driven.
        EXPECT_TRUE(host.calls().empty()) << fault.name;
    }
    // The same file with no fault chosen is a working effect.
    Host host;
    PluginInstance instance(library, host);
    EXPECT_EQ(instance.close(), 1);
}

TEST(BrokenPlugin, TheToolReportsEachBrokenRecordInOneLine) {
    for (const Fault& fault : kFaults) {
        const ChosenFault chosen(fault.name);
        SCOPED_TRACE(fault.name);
        expectOneLineFailure({"params", "--plugin", BREVANDER_PASS_THROUGH_TEST_PLUGIN}, fault.message);
    }
}

TEST(BrokenPlugin, FilesThatAreNoLinuxPluginSayWhatTheyAre) {
    TemporaryFolder folder;
    std::ofstream(folder.file("effect.dll"), std::ios::binary)
        << std::string("MZ\x90\0\3\0\0\0", 8) << std::string(200, '\0');
    expectOneLineFailure({"params", "--plugin", folder.file("effect.dll")}, "Windows plug-in file (DLL)");
    std::filesystem::create_directory(folder.file("effect.vst"));
    expectOneLineFailure({"params", "--plugin", folder.file("effect.vst")}, "is a directory");

    // ELF identification, then type and machine: a 32-bit file, and a 64-bit one for another processor.
    std::string elf32(
        "\x7f"
        "ELF\1\1\1\0",
        8);
    elf32 += std::string(8, '\0') + std::string("\3\0\3\0", 4) + std::string(100, '\0');
    std::ofstream(folder.file("i386.so"), std::ios::binary) << elf32;
    expectOneLineFailure({"params", "--plugin", folder.file("i386.so")}, "32-bit");
#if defined(__x86_64__)
    std::string elfArm(
        "\x7f"
        "ELF\2\1\1\0",
        8);
    elfArm += std::string(8, '\0') + std::string("\3\0\xb7\0", 4) + std::string(100, '\0');
    std::ofstream(folder.file("arm.so"), std::ios::binary) << elfArm;
    expectOneLineFailure({"params", "--plugin", folder.file("arm.so")}, "another processor");

#endif

    const PluginLibrary* loaded = nullptr;
    EXPECT_THROW(loaded = new PluginLibrary(folder.file("effect.dll")), PluginLoadError);
    delete loaded;
}
