// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/In.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using testing::HasSubstr;

namespace {

const char probeFile[] = "libKRloaderProbe.krmodule";

bool probeRegistered() {
    for (const std::string& name : Kr::InInitMgr::getInstance().getRegisteredNames())
        if (name == "loaderProbeKrmodule")
            return true;
    return false;
}

class ModuleLoader : public testing::Test {
protected:
    void TearDown() override {
        Kr::PimUtils::unload(probeFile);
        unsetenv("KR_LOADER_PROBE_FAIL");
        Kr::InInitMgr::getInstance().terminateAll();
    }
};

TEST_F(ModuleLoader, LoadRunsTheModulesInitAndUnloadUndoesEverything) {
    ASSERT_TRUE(Kr::PimUtils::load(probeFile, Kr::InInitMgr::InitializeNow));
    EXPECT_TRUE(probeRegistered());
    ASSERT_EQ(Kr::InBuildInfoUtil::getLibraryInfos().size(), 1u);
    EXPECT_EQ(Kr::InBuildInfoUtil::getLibraryInfos()[0]->getProductTitle(), "Loader probe");

    // Loading again neither reopens nor re-runs the hook.
    ASSERT_TRUE(Kr::PimUtils::load(probeFile, Kr::InInitMgr::InitializeNow));
    EXPECT_EQ(Kr::InBuildInfoUtil::getLibraryInfos().size(), 1u);

    ASSERT_TRUE(Kr::PimUtils::unload(probeFile));
    EXPECT_TRUE(Kr::InBuildInfoUtil::getLibraryInfos().empty()); // terminated
    EXPECT_FALSE(probeRegistered());                             // static objects destroyed
    EXPECT_FALSE(Kr::PimUtils::unload(probeFile));
}

TEST_F(ModuleLoader, RegisterOnlyDefersTheHook) {
    ASSERT_TRUE(Kr::PimUtils::load(probeFile, Kr::InInitMgr::RegisterOnly));
    EXPECT_TRUE(probeRegistered());
    EXPECT_TRUE(Kr::InBuildInfoUtil::getLibraryInfos().empty());
    Kr::InInitMgr::getInstance().initializeAll();
    EXPECT_EQ(Kr::InBuildInfoUtil::getLibraryInfos().size(), 1u);
}

TEST_F(ModuleLoader, HookExceptionsReachTheCallerUnchanged) {
    setenv("KR_LOADER_PROBE_FAIL", "1", 1);
    try {
        Kr::PimUtils::load(probeFile, Kr::InInitMgr::InitializeNow);
        FAIL() << "the hook's exception was lost";
    } catch (const Kr::ExProcessRc& ex) {
        EXPECT_EQ(ex.getReturnCode(), 9);
    }
}

TEST_F(ModuleLoader, MissingFileIsAnExceptionNamingFileAndPlaces) {
    try {
        Kr::PimUtils::load("libKRnothing.krcheck", Kr::InInitMgr::InitializeNow);
        FAIL() << "a missing module was reported as loaded";
    } catch (const Kr::ExModuleLoad& ex) {
        EXPECT_THAT(ex.getText(), HasSubstr("cannot load \"libKRnothing.krcheck\": file not found in"));
        EXPECT_THAT(ex.getText(), HasSubstr(Kr::PimUtils::getExecutableDirectory().getText()));
    }
}

TEST_F(ModuleLoader, UnloadableFileIsAnExceptionWithTheSystemsReason) {
    char directory[] = "/tmp/krLoaderTestXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    std::string path = std::string(directory) + "/libKRbroken.krcheck";
    std::ofstream(path) << std::string(4096, 'x'); // long enough to be judged by its header
    try {
        Kr::PimUtils::load(path, Kr::InInitMgr::InitializeNow);
        FAIL() << "a broken module was reported as loaded";
    } catch (const Kr::ExModuleLoad& ex) {
        EXPECT_THAT(ex.getText(), HasSubstr("cannot load \"" + path + "\": "));
        EXPECT_THAT(ex.getText(), HasSubstr("invalid ELF header")); // the dynamic loader's reason
    }
    std::remove(path.c_str());
    rmdir(directory);
}

TEST(ModuleSearch, OptionDirectoriesThenProgramDirectoryThenEnvironment) {
    std::string words[] = {"prog", "--kr-plugin-path=/first"};
    char* pointers[] = {words[0].data(), words[1].data(), nullptr};
    int argc = 2;
    char** argv = pointers;
    Kr::InContextAliasMgrBase::takeFrameworkOptions(argc, argv);
    setenv("KR_PLUGIN_PATH", "/env/one::/env/two", 1);

    std::vector<std::string> expected = {"/first", Kr::PimUtils::getExecutableDirectory().getText(), "/env/one",
                                         "/env/two"};
    EXPECT_EQ(Kr::PimUtils::getSearchDirectories(), expected);
    unsetenv("KR_PLUGIN_PATH");
}

} // namespace
