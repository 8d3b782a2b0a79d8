// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/RC.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

// Test types live in Kr so that their readable names are as short as the framework's own.
namespace Kr {

struct TestWidget : RCBase<LkCounter<int>> {
    explicit TestWidget(int* deaths = nullptr) : _deaths(deaths) {}
    ~TestWidget() override {
        if (_deaths)
            ++*_deaths;
    }
    int* _deaths;
};
struct TestMenu : TestWidget {
    using TestWidget::TestWidget;
};
struct TestButton : TestWidget {
    using TestWidget::TestWidget;
};
template <class T> struct TestTypedValue : RCBase<LkCounter<int>> {};

struct TestHandler {
    explicit TestHandler(int* deaths) : _deaths(deaths) {}
    virtual ~TestHandler() { ++*_deaths; }
    int* _deaths;
};
struct TestHotkeyHandler : TestHandler {
    using TestHandler::TestHandler;
};

} // namespace Kr

namespace {

using namespace Kr;

TEST(RCShdPtr, ObjectDiesWithItsLastReference) {
    int deaths = 0;
    RCShdPtr<TestWidget> first(new TestWidget(&deaths));
    {
        RCShdPtr<TestWidget> second = first;
        RCShdPtr<const TestWidget> constView = second;
        EXPECT_EQ(first->getRefCount(), 3);
        first.reset();
        EXPECT_EQ(deaths, 0);
        EXPECT_TRUE(first.isNull());
    }
    EXPECT_EQ(deaths, 1);
}

TEST(RCShdPtr, EmptyPointerDereferenceNamesThePointeeType) {
    RCShdPtr<TestTypedValue<std::string>> empty;
    try {
        (void)*empty;
        FAIL() << "dereferencing an empty pointer did not raise";
    } catch (const ExNullPtr& ex) {
        EXPECT_EQ(ex.getTypeName(), "TestTypedValue<std::string>");
        EXPECT_THAT(ex.getMessage(), testing::HasSubstr("TestTypedValue<std::string>"));
    }
}

TEST(RCShdPtr, CheckedCastRaisesWithBothTypesAndKeepsTheObjectShared) {
    int deaths = 0;
    RCShdPtr<TestWidget> widget(new TestMenu(&deaths));

    RCShdPtr<TestMenu> menu = widget.cast<TestMenu>();
    EXPECT_EQ(menu.get(), widget.get());
    EXPECT_EQ(widget->getRefCount(), 2);

    try {
        widget.cast<TestButton>();
        FAIL() << "a wrong down-cast was accepted";
    } catch (const ExCastFailed& ex) {
        EXPECT_EQ(ex.getActualType(), "TestMenu");
        EXPECT_EQ(ex.getTargetType(), "TestButton");
    }
    EXPECT_TRUE(widget.dynamicCast<TestButton>().isNull());
    widget.reset();
    menu.reset();
    EXPECT_EQ(deaths, 1);
}

TEST(RCShdPtr, EmptyPointerCastsToEmptyWhoseDereferenceNamesTheTarget) {
    RCShdPtr<TestWidget> empty;
    RCShdPtr<TestMenu> menu = empty.cast<TestMenu>();
    EXPECT_TRUE(menu.isNull());
    EXPECT_THROW(
        {
            try {
                menu->_deaths = nullptr;
            } catch (const ExNullPtr& ex) {
                EXPECT_EQ(ex.getTypeName(), "TestMenu");
                throw;
            }
        },
        ExNullPtr);
}

TEST(RCShdPtr, CountsStayExactUnderConcurrentCopies) {
    int deaths = 0;
    RCShdPtr<TestWidget> shared(new TestWidget(&deaths));
    auto churn = [&shared] {
        for (int i = 0; i < 100000; ++i) {
            RCShdPtr<TestWidget> copy = shared;
            (void)copy;
        }
    };
    std::thread other(churn);
    churn();
    other.join();
    EXPECT_EQ(shared->getRefCount(), 1);
    shared.reset();
    EXPECT_EQ(deaths, 1);
}

TEST(RCStrongPtr, LastStrongReferenceDeletesAsCreatedTypeAndWeakSeesIt) {
    int deaths = 0;
    RCWeakPtr<TestHandler> weak;
    {
        RCStrongPtr<TestHandler> handler(new TestHotkeyHandler(&deaths));
        weak = handler;
        RCStrongPtr<TestHotkeyHandler> hotkey = handler.cast<TestHotkeyHandler>();
        EXPECT_EQ(handler.getStrongCount(), 2);
        EXPECT_EQ(handler.getCount(), hotkey.getCount());
        EXPECT_FALSE(weak.lock().isNull());
    }
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(weak.isExpired());
    EXPECT_TRUE(weak.lock().isNull());
}

TEST(RCStrongPtr, EmptyPointerDereferenceAndFailedCastRaise) {
    int deaths = 0;
    RCStrongPtr<TestHandler> empty;
    EXPECT_THROW(*empty, ExNullPtr);
    RCStrongPtr<TestHandler> plain(new TestHandler(&deaths));
    EXPECT_THROW(plain.cast<TestHotkeyHandler>(), ExCastFailed);
    EXPECT_EQ(plain.getStrongCount(), 1);
}

TEST(OPtr, OwnershipPassesAndEmptyOwnerRaises) {
    int deaths = 0;
    OPtr<TestHandler> owner(new TestHotkeyHandler(&deaths));
    auto take = [](OPtr<TestHandler> taken) { return taken.isNull(); };
    EXPECT_FALSE(take(std::move(owner)));
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(owner.isNull());
    EXPECT_THROW(owner->_deaths = nullptr, ExNullPtr);

    auto make = [&deaths]() -> OPtrRet<TestHandler> { return OPtrRet<TestHandler>(new TestHandler(&deaths)); };
    OPtr<TestHandler> received(make());
    EXPECT_FALSE(received.isNull());
    EXPECT_EQ(deaths, 1);
}

} // namespace
