// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

using testing::HasSubstr;

namespace {

class Call : public Kr::ExWrapper::Functor {
public:
    explicit Call(std::function<void()> body) : _body(std::move(body)) {}
    void operator()() override { _body(); }

private:
    std::function<void()> _body;
};

Kr::OPtr<Kr::ExBase> run(std::function<void()> body, Kr::APtr<char>* reserve = nullptr) {
    Call call(std::move(body));
    return Kr::OPtr<Kr::ExBase>(Kr::ExWrapper::execute(call, reserve));
}

TEST(ExWrapper, NothingEscapingGivesNullAndLeavesTheReserveToTheCaller) {
    Kr::APtr<char> reserve;
    bool ran = false;
    EXPECT_TRUE(run([&] { ran = true; }, &reserve).isNull());
    EXPECT_TRUE(ran);
    EXPECT_FALSE(reserve.isNull());
}

TEST(ExWrapper, FrameworkExceptionsComeBackWithTheirOwnType) {
    auto escaped = run([] { throw Kr::ExProcessRc(7); });
    auto* rc = dynamic_cast<Kr::ExProcessRc*>(escaped.get());
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(rc->getReturnCode(), 7);

    escaped = run([] {
        Kr::Assertions::throwAssertionFailed("tools\\switcher\\src\\switcherTool", 251, "uiFactory == factory");
    });
    ASSERT_NE(dynamic_cast<Kr::ExAssertionFailed*>(escaped.get()), nullptr);
    EXPECT_EQ(escaped->getText(), "uiFactory == factory");
    EXPECT_EQ(escaped->getMessage(),
              "Assertion failed: uiFactory == factory (tools\\switcher\\src\\switcherTool, line 251)");
}

TEST(ExWrapper, StandardAndUnknownExceptionsBecomeFrameworkExceptions) {
    auto escaped = run([] { throw std::runtime_error("disk on fire"); });
    ASSERT_FALSE(escaped.isNull());
    EXPECT_EQ(escaped->getMessage(), "std::runtime_error: disk on fire");

    escaped = run([] { throw 42; });
    ASSERT_FALSE(escaped.isNull());
    EXPECT_THAT(escaped->getMessage(), HasSubstr("unknown exception"));
}

TEST(ExWrapper, OutOfMemoryReleasesTheReserveAndIsReported) {
    Kr::APtr<char> reserve;
    auto escaped = run([] { throw std::bad_alloc(); }, &reserve);
    ASSERT_FALSE(escaped.isNull());
    EXPECT_THAT(escaped->getMessage(), HasSubstr("out of memory"));
    EXPECT_TRUE(reserve.isNull());
}

TEST(Assertions, MacroCarriesTheSourcePathWithoutExtensionAndTheCondition) {
    std::vector<int> _elementStack{1};
    try {
        KR_ASSERT(_elementStack.empty());
        FAIL() << "the assertion did not raise";
    } catch (const Kr::ExAssertionFailed& ex) {
        EXPECT_EQ(ex.getText(), "_elementStack.empty()");
        EXPECT_THAT(ex.getFile(), testing::EndsWith("/exWrapperTests"));
        EXPECT_GT(ex.getLine(), 0);
    }
}

} // namespace
