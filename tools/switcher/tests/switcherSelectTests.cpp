// SPDX-License-Identifier: Apache-2.0
// Selection: re-wiring as one undo step, and what it leaves alone.

#include "switcherTestDocument.h"

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

using namespace Kr;

namespace {

using SelectTest = SwitcherTest::SwitcherDocument;

TEST_F(SelectTest, SelectingTheFrontEntryCyclesThroughAllSourcesOneUndoStepEach) {
    selectSource(p);
    addOther(q);
    addOther(r);
    history().clear();

    const std::vector<std::string> cycle = {"P|QR", "Q|RP", "R|PQ", "P|QR"};
    for (std::size_t i = 1; i < cycle.size(); ++i) {
        controller().select(0);
        EXPECT_EQ(wiring(), cycle[i]);
        EXPECT_EQ(history().getUndoLabels(), std::vector<std::string>(i, "Set Selected Image"));
    }
    for (std::size_t i = cycle.size() - 1; i > 0; --i) {
        history().undo();
        EXPECT_EQ(wiring(), cycle[i - 1]) << "after undoing step " << i;
    }
    for (std::size_t i = 1; i < cycle.size(); ++i) {
        history().redo();
        EXPECT_EQ(wiring(), cycle[i]) << "after redoing step " << i;
    }
}

TEST_F(SelectTest, MinusOneParksTheSourceAndIndexesOutsideTheEntriesDoNothing) {
    selectSource(p);
    addOther(q);
    history().clear();

    for (int index : {1, 2, -2, -100}) {
        controller().select(index);
        EXPECT_EQ(wiring(), "P|Q") << "select(" << index << ")";
    }
    EXPECT_FALSE(history().canUndo());

    controller().select(-1);
    EXPECT_EQ(wiring(), "-|QP");
    EXPECT_EQ(history().getUndoLabels(), std::vector<std::string>{"Set Selected Image"});
    history().undo();
    EXPECT_EQ(wiring(), "P|Q");
}

TEST_F(SelectTest, WithNothingSelectedTheChosenEntryComesInAndTheOthersStay) {
    addOther(q);
    addOther(r);
    controller().select(1);
    EXPECT_EQ(wiring(), "R|Q");
}

// The selection as a user would describe it: the selected source, then the others in order.
struct Selection {
    std::optional<char> selected;
    std::string others;

    std::string text() const { return std::string(1, selected.value_or('-')) + "|" + others; }
    Selection afterSelect(int index) const {
        if (index < -1 || static_cast<int>(others.size()) <= index)
            return *this;
        Selection next{std::nullopt, others};
        if (selected)
            next.others += *selected;
        if (index != -1) {
            next.selected = next.others[index];
            next.others.erase(index, 1);
        }
        return next;
    }
};

TEST_F(SelectTest, AnySequenceOfSelectUndoAndRedoKeepsEverySourceAndRetracesItsSteps) {
    RCShdPtr<PiNode> t = graph->createNode("Constant", "T");
    selectSource(p);
    addOther(q);
    addOther(r);
    addOther(t);
    history().clear();

    std::vector<Selection> states{{'P', "QRT"}};
    std::size_t current = 0;
    const unsigned seed = 20121206;
    std::mt19937 random(seed);
    for (int step = 0; step < 400; ++step) {
        const int action = std::uniform_int_distribution<int>(0, 3)(random);
        std::string done;
        if (action <= 1) {
            const int index = std::uniform_int_distribution<int>(-2, 4)(random);
            controller().select(index);
            done = "select(" + std::to_string(index) + ")";
            Selection next = states[current].afterSelect(index);
            if (next.text() != states[current].text()) {
                states.resize(++current);
                states.push_back(next);
            }
        } else if (action == 2 && history().canUndo()) {
            history().undo();
            done = "undo";
            --current;
        } else if (action == 3 && history().canRedo()) {
            history().redo();
            done = "redo";
            ++current;
        } else {
            continue;
        }
        const std::string now = wiring();
        std::string sources = now.substr(0, 1) + now.substr(2);
        std::erase(sources, '-');
        std::sort(sources.begin(), sources.end());
        ASSERT_EQ(sources, "PQRT") << "step " << step << ", " << done << ", seed " << seed;
        ASSERT_EQ(now, states[current].text()) << "step " << step << ", " << done << ", seed " << seed;
        ASSERT_EQ(history().getUndoLabels().size(), current);
        ASSERT_EQ(history().getRedoLabels().size(), states.size() - 1 - current);
    }
}

} // namespace
