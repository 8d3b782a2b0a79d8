// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/In.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testing::ElementsAre;
using testing::HasSubstr;

KR_PACKAGE_TAG(orderTop)
KR_PACKAGE_TAG(orderMiddle)
KR_PACKAGE_TAG(orderBottom)
KR_PACKAGE_TAG(needsAbsent)
KR_PACKAGE_TAG(absent)
KR_PACKAGE_TAG(cycleFirst)
KR_PACKAGE_TAG(cycleSecond)
KR_PACKAGE_TAG(failingInit)
KR_PACKAGE_TAG(recordsBuildInfo)

namespace {

std::vector<std::string> events;
bool failNextInit = true;

class EventVariable : public Kr::InVariableBase {
public:
    void initVariable() override { events.push_back("variable up"); }
    void termVariable() override { events.push_back("variable down"); }
};

class TestBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return "libKrrecordsBuildInfo"; }
    std::string getReleaseName() const override { return "2013"; }
    std::string getVersionString() const override { return "8.0"; }
    std::string getVersionSuffix() const override { return ""; }
    int getMajorVersion() const override { return 8; }
    int getMinorVersion() const override { return 0; }
    int getReleaseStatus() const override { return 42; }
    std::string getBuildNumber() const override { return "2600"; }
    std::string getBuildDate() const override { return "Jun 12 2012"; }
    std::string getBuildFlavour() const override { return "opt.x86_64.intel"; }
};

} // namespace

// Hooks that record what the framework did, then the constructors with the dependencies.
template <> void Kr::InInit<KrInit::orderTop>::init() {
    events.push_back("init top");
}
template <> void Kr::InInit<KrInit::orderTop>::term() {
    events.push_back("term top");
}
template <> void Kr::InInit<KrInit::orderMiddle>::init() {
    events.push_back("init middle");
}
template <> void Kr::InInit<KrInit::orderMiddle>::term() {
    events.push_back("term middle");
}
template <> void Kr::InInit<KrInit::orderBottom>::init() {
    events.push_back("init bottom");
}
template <> void Kr::InInit<KrInit::orderBottom>::term() {
    events.push_back("term bottom");
}
template <> void Kr::InInit<KrInit::failingInit>::init() {
    if (failNextInit)
        throw Kr::ExProcessRc(5, "failing on purpose");
    events.push_back("init failing");
}
template <> void Kr::InInit<KrInit::recordsBuildInfo>::init() {
    Kr::InBuildInfoUtil::registerInfo(Kr::OPtr<Kr::InBuildInfo>(new TestBuildInfo));
}

template <> Kr::InInit<KrInit::orderTop>::InInit() : InPackageInit("orderTop") {
    registerPackage();
    addDependency(InInit<KrInit::orderMiddle>::getType());
    addDependency(InInit<KrInit::base>::getType());
}
template <> Kr::InInit<KrInit::orderMiddle>::InInit() : InPackageInit("orderMiddle") {
    registerPackage();
    addDependency(InInit<KrInit::orderBottom>::getType());
}
template <> Kr::InInit<KrInit::orderBottom>::InInit() : InPackageInit("orderBottom") {
    registerPackage();
}
template <> Kr::InInit<KrInit::needsAbsent>::InInit() : InPackageInit("needsAbsent") {
    registerPackage();
    addDependency(InInit<KrInit::absent>::getType());
}
template <> Kr::InInit<KrInit::cycleFirst>::InInit() : InPackageInit("cycleFirst") {
    registerPackage();
    addDependency(InInit<KrInit::cycleSecond>::getType());
}
template <> Kr::InInit<KrInit::cycleSecond>::InInit() : InPackageInit("cycleSecond") {
    registerPackage();
    addDependency(InInit<KrInit::cycleFirst>::getType());
}
template <> Kr::InInit<KrInit::failingInit>::InInit() : InPackageInit("failingInit") {
    registerPackage();
    addDependency(InInit<KrInit::orderBottom>::getType());
}
template <> Kr::InInit<KrInit::recordsBuildInfo>::InInit() : InPackageInit("recordsBuildInfo") {
    registerPackage();
}

namespace {

class PackageTest : public testing::Test {
protected:
    void SetUp() override {
        events.clear();
        failNextInit = true;
    }
    void TearDown() override { Kr::InInitMgr::getInstance().terminateAll(); }
    Kr::InInitMgr& mgr = Kr::InInitMgr::getInstance();
};

TEST_F(PackageTest, DependenciesStartFirstAndStopLast) {
    // Registered in the opposite order of their needs.
    Kr::InInit<KrInit::orderTop> top;
    Kr::InInit<KrInit::orderMiddle> middle;
    Kr::InInit<KrInit::orderBottom> bottom;

    mgr.initializeAll();
    mgr.terminateAll();

    EXPECT_THAT(events,
                ElementsAre("init bottom", "init middle", "init top", "term top", "term middle", "term bottom"));
}

TEST_F(PackageTest, FrameworkPackagesComeBeforeTheirUsers) {
    Kr::InInit<KrInit::orderBottom> bottom;
    Kr::InInit<KrInit::orderMiddle> middle;
    Kr::InInit<KrInit::orderTop> top;
    mgr.initialize(top);

    std::vector<std::string> order = mgr.getInitializedNames();
    auto position = [&](const std::string& name) {
        return std::find(order.begin(), order.end(), name) - order.begin();
    };
    EXPECT_LT(position("base"), position("orderTop"));
    EXPECT_LT(position("orderMiddle"), position("orderTop"));
    EXPECT_TRUE(mgr.isInitialized(bottom));
}

TEST_F(PackageTest, TerminatingOnePackageStopsItsDependantsFirst) {
    Kr::InInit<KrInit::orderBottom> bottom;
    Kr::InInit<KrInit::orderMiddle> middle;
    Kr::InInit<KrInit::orderTop> top;
    mgr.initialize(top);
    events.clear();

    mgr.terminate(bottom);

    EXPECT_THAT(events, ElementsAre("term top", "term middle", "term bottom"));
    EXPECT_FALSE(mgr.isInitialized(middle));
}

TEST_F(PackageTest, MissingDependencyNamesBothPackages) {
    Kr::InInit<KrInit::needsAbsent> needy;
    try {
        mgr.initialize(needy);
        FAIL() << "a missing dependency was accepted";
    } catch (const Kr::ExBase& ex) {
        EXPECT_THAT(ex.getText(), HasSubstr("\"needsAbsent\""));
        EXPECT_THAT(ex.getText(), HasSubstr("InInit<KrInit::absent>"));
        EXPECT_THAT(ex.getText(), HasSubstr("not registered"));
    }
    EXPECT_FALSE(mgr.isInitialized(needy));
}

TEST_F(PackageTest, DependencyCycleIsRefused) {
    Kr::InInit<KrInit::cycleFirst> first;
    Kr::InInit<KrInit::cycleSecond> second;
    try {
        mgr.initialize(first);
        FAIL() << "a dependency cycle was accepted";
    } catch (const Kr::ExBase& ex) {
        EXPECT_THAT(ex.getText(), HasSubstr("cycle: cycleFirst -> cycleSecond -> cycleFirst"));
    }
    EXPECT_FALSE(mgr.isInitialized(first));
    EXPECT_FALSE(mgr.isInitialized(second));
}

TEST_F(PackageTest, FailedInitLeavesPackageUninitialisedAndCanBeRetried) {
    Kr::InInit<KrInit::orderBottom> bottom;
    Kr::InInit<KrInit::failingInit> failing;
    EventVariable variable;
    failing.addDependency(&variable);

    try {
        mgr.initialize(failing);
        FAIL() << "the hook's exception did not pass";
    } catch (const Kr::ExProcessRc& ex) {
        EXPECT_EQ(ex.getReturnCode(), 5);
    }
    EXPECT_FALSE(mgr.isInitialized(failing));
    EXPECT_TRUE(mgr.isInitialized(bottom));
    EXPECT_THAT(events, ElementsAre("init bottom", "variable up", "variable down"));

    failNextInit = false;
    events.clear();
    mgr.initialize(failing);
    mgr.terminate(failing);
    EXPECT_THAT(events, ElementsAre("variable up", "init failing", "variable down"));
}

TEST_F(PackageTest, DestroyedPackageLeavesTheRegistry) {
    std::size_t before = mgr.getRegisteredCount();
    {
        Kr::InInit<KrInit::orderBottom> bottom;
        mgr.initialize(bottom);
        EXPECT_EQ(mgr.getRegisteredCount(), before + 1);
    }
    EXPECT_EQ(mgr.getRegisteredCount(), before);
    EXPECT_EQ(mgr.find(*Kr::InInit<KrInit::orderBottom>::getType()), nullptr);
}

TEST_F(PackageTest, LibraryBuildInfoLivesAsLongAsItsPackage) {
    Kr::InInit<KrInit::recordsBuildInfo> package;
    mgr.initialize(package);
    auto infos = Kr::InBuildInfoUtil::getLibraryInfos();
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(Kr::InBuildInfoUtil::describe(*infos[0]),
              "Corvath Zantor Library [libKrrecordsBuildInfo] 8.0 (2013), build 2600 of Jun 12 2012, opt.x86_64.intel");

    mgr.terminate(package);
    EXPECT_TRUE(Kr::InBuildInfoUtil::getLibraryInfos().empty());
}

TEST(InInitGuard, InitialisesForItsLifetimeAndTakesFrameworkOptions) {
    events.clear();
    Kr::InInit<KrInit::orderBottom> bottom;
    char program[] = "prog";
    char option[] = "--kr-plugin-path=/nowhere";
    char word[] = "cpu";
    char* words[] = {program, option, word, nullptr};
    char** argv = words;
    int argc = 3;
    {
        Kr::InInitGuard guard(argc, argv);
        EXPECT_TRUE(Kr::InInitMgr::getInstance().isInitialized(bottom));
        EXPECT_EQ(argc, 2);
        EXPECT_STREQ(argv[1], "cpu");
        EXPECT_THAT(Kr::InContextAliasMgrBase::getUnboundArgs(), ElementsAre("prog", "cpu"));
    }
    EXPECT_FALSE(Kr::InInitMgr::getInstance().isInitialized(bottom));
    EXPECT_THAT(events, ElementsAre("init bottom", "term bottom"));
}

} // namespace
