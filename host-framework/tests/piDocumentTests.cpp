// SPDX-License-Identifier: Apache-2.0
#include "piTestTools.h"

#include <Kr/PiGraph.h>
#include <Kr/PiNodeController.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace Kr;

namespace {

class Document : public ::testing::Test {
protected:
    void SetUp() override {
        KrTest::registerTestTools();
        graph = RCShdPtr<PiGraph>(new PiGraph());
        p = graph->createNode("Constant", "P");
        q = graph->createNode("Constant", "Q");
        r = graph->createNode("Constant", "R");
        s = graph->createNode("Router", "S");
        graph->getCommandStack().clear();
    }
    RCShdPtr<const PiOutput> out(const RCShdPtr<PiNode>& node) { return node->getOutput("Output"); }
    RCShdPtr<PiMultivaluedInput> others() { return s->getInput("Others").cast<PiMultivaluedInput>(); }
    // The nodes feeding "Others", entry by entry ("-" for an unconnected entry).
    std::string otherSources() {
        std::string text;
        for (int i = 0; i < others()->getNbEntries(); ++i) {
            auto source = others()->getEntry(i)->getSource();
            text += source ? source->getNode()->getName() : "-";
        }
        return text;
    }
    std::string mainSource() {
        auto source = s->getInput("Main")->getSource();
        return source ? source->getNode()->getName() : "-";
    }

    RCShdPtr<PiGraph> graph;
    RCShdPtr<PiNode> p, q, r, s;
};

class EventCounter {
public:
    explicit EventCounter(PiNode& node)
        : _connected(*this, &EventCounter::onConnected), _disconnected(*this, &EventCounter::onDisconnected) {
        node.addCallback(PiNodeEvent::SocketConnected, _connected);
        node.addCallback(PiNodeEvent::SocketDisconnected, _disconnected);
    }
    int connected = 0;
    int disconnected = 0;

private:
    void onConnected(const PiNodeEvent&) { ++connected; }
    void onDisconnected(const PiNodeEvent&) { ++disconnected; }
    CbMethod<EventCounter, const PiNodeEvent> _connected;
    CbMethod<EventCounter, const PiNodeEvent> _disconnected;
};

TEST_F(Document, NodesHaveTheirToolsSocketsInDeclarationOrder) {
    ASSERT_EQ(s->getSockets().size(), 3u);
    EXPECT_EQ(s->getSockets()[0]->getName(), "Main");
    EXPECT_EQ(s->getSockets()[1]->getName(), "Others");
    EXPECT_EQ(s->getSockets()[2]->getName(), "Out");
    EXPECT_TRUE(s->getInput("Others").dynamicCast<PiMultivaluedInput>());
    EXPECT_FALSE(s->getInput("Main").dynamicCast<PiMultivaluedInput>());
    EXPECT_TRUE(s->getInput("Nope").isNull());
    EXPECT_EQ(s->getValue("Label")->toText(), "none");
    EXPECT_EQ(s->getController()->getNode(), s);
}

TEST_F(Document, RefusesUnknownToolsTakenNamesCyclesAndMismatchedDocuments) {
    EXPECT_THROW(graph->createNode("NoSuchTool", "X"), ExPiError);
    EXPECT_THROW(graph->createNode("Constant", "P"), ExPiError);
    RCShdPtr<PiNode> t = graph->createNode("Router", "T");
    s->getInput("Main")->connect(t->getOutput("Out"));
    EXPECT_THROW(t->getInput("Main")->connect(s->getOutput("Out")), ExPiError);
    EXPECT_THROW(s->getInput("Main")->connect(s->getOutput("Out")), ExPiError);
    RCShdPtr<PiGraph> other(new PiGraph());
    RCShdPtr<PiNode> stranger = other->createNode("Constant", "Z");
    EXPECT_THROW(s->getInput("Main")->connect(stranger->getOutput("Output")), ExPiError);
    EXPECT_EQ(mainSource(), "T");

    // A ladder of diamonds (each router fed twice by the one before) is looked over once per
    // node, not once per path (2^60 of them), and a cycle through its whole length is found.
    RCShdPtr<PiNode> previous = p;
    for (int i = 0; i < 60; ++i) {
        RCShdPtr<PiNode> rung = graph->createNode("Router", "D" + std::to_string(i));
        rung->getInput("Main")->connect(previous->getOutput(i == 0 ? "Output" : "Out"));
        rung->getInput("Others").cast<PiMultivaluedInput>()->connect(previous->getOutput(i == 0 ? "Output" : "Out"));
        previous = rung;
    }
    s->getInput("Others").cast<PiMultivaluedInput>()->connect(previous->getOutput("Out"));
    EXPECT_THROW(graph->findNode("D0")->getInput("Others").cast<PiMultivaluedInput>()->connect(s->getOutput("Out")),
                 ExPiError);
}

TEST_F(Document, ConnectingAMultiValuedInputAppendsEntriesAndRemovalKeepsOrder) {
    others()->connect(out(p));
    others()->connect(out(q));
    others()->connect(out(r));
    EXPECT_EQ(otherSources(), "PQR");
    others()->removeEntry(1);
    EXPECT_EQ(otherSources(), "PR");
    EXPECT_THROW(others()->removeEntry(2), ExPiError);
    EXPECT_TRUE(others()->getEntry(2).isNull());
    others()->addEntry();
    EXPECT_EQ(otherSources(), "PR-");
    EXPECT_EQ(out(p)->getDestinations().size(), 1u);
}

TEST_F(Document, UndoAndRedoRestoreConnectionsEntryOrderAndValuesExactly) {
    s->getInput("Main")->connect(out(p));
    others()->connect(out(q));
    others()->connect(out(r));
    others()->removeEntry(0);
    s->getInput("Main")->connect(out(q));
    s->getValue("Label")->fromText("changed");
    others()->addEntry();
    ASSERT_EQ(graph->getCommandStack().getUndoLabels().size(), 7u);

    std::vector<std::string> states;
    auto state = [&] { return mainSource() + "|" + otherSources() + "|" + s->getValue("Label")->toText(); };
    states.push_back(state());
    while (graph->getCommandStack().canUndo()) {
        graph->getCommandStack().undo();
        states.push_back(state());
    }
    EXPECT_EQ(states, (std::vector<std::string>{"Q|R-|changed", "Q|R|changed", "Q|R|none", "P|R|none", "P|QR|none",
                                                "P|Q|none", "P||none", "-||none"}));
    while (graph->getCommandStack().canRedo())
        graph->getCommandStack().redo();
    EXPECT_EQ(state(), states.front());
    EXPECT_EQ(out(q)->getDestinations().size(), 1u);
    EXPECT_EQ(out(r)->getDestinations().size(), 1u);
    EXPECT_TRUE(out(p)->getDestinations().empty());
}

TEST_F(Document, RemovingANodeTakesItsEntriesAlongAndUndoPutsAllBackInPlace) {
    others()->connect(out(q));
    others()->connect(out(p));
    others()->connect(out(q));
    others()->connect(out(r));
    s->getInput("Main")->connect(out(q));
    graph->getCommandStack().clear();
    graph->removeNode(q);
    EXPECT_EQ(otherSources(), "PR");
    EXPECT_EQ(mainSource(), "-");
    EXPECT_TRUE(graph->findNode("Q").isNull());
    graph->getCommandStack().undo();
    EXPECT_EQ(otherSources(), "QPQR");
    EXPECT_EQ(mainSource(), "Q");
    EXPECT_EQ(graph->findNode("Q"), q);
    graph->getCommandStack().redo();
    EXPECT_EQ(otherSources(), "PR");
}

TEST_F(Document, AGuardMakesOneLabelledStepAndStillClosesWhenAnExceptionPasses) {
    {
        PiUndoGuard guard(graph->getCommandStack(), "Rewire", PiExecParam());
        s->getInput("Main")->connect(out(p));
        others()->connect(out(q));
        {
            PiUndoGuard inner(graph->getCommandStack(), "Inner", PiExecParam());
            others()->connect(out(r));
        }
    }
    EXPECT_EQ(graph->getCommandStack().getUndoLabels(), std::vector<std::string>{"Rewire"});

    try {
        PiUndoGuard guard(graph->getCommandStack(), "Failing", PiExecParam());
        others()->removeEntry(0);
        throw std::runtime_error("midway");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(graph->getCommandStack().isStepOpen());
    EXPECT_EQ(graph->getCommandStack().getUndoLabels(), (std::vector<std::string>{"Rewire", "Failing"}));
    graph->getCommandStack().undo();
    EXPECT_EQ(otherSources(), "QR");
    graph->getCommandStack().undo();
    EXPECT_EQ(mainSource() + otherSources(), "-");
}

TEST_F(Document, AnEmptyGuardRecordsNothingAndAnOpenStepRefusesUndo) {
    s->getInput("Main")->connect(out(p));
    { PiUndoGuard guard(graph->getCommandStack(), "Nothing", PiExecParam()); }
    EXPECT_EQ(graph->getCommandStack().getUndoLabels(), std::vector<std::string>{"Connect Main"});
    PiUndoGuard open(graph->getCommandStack(), "Open", PiExecParam());
    EXPECT_THROW(graph->getCommandStack().undo(), ExPiError);
}

TEST_F(Document, ANewChangeAfterUndoDropsTheRedoSteps) {
    s->getInput("Main")->connect(out(p));
    graph->getCommandStack().undo();
    ASSERT_TRUE(graph->getCommandStack().canRedo());
    s->getInput("Main")->connect(out(q));
    EXPECT_FALSE(graph->getCommandStack().canRedo());
    EXPECT_THROW(graph->getCommandStack().redo(), ExPiError);
}

TEST_F(Document, NodeEventsFireOncePerChangeOnBothEndsIncludingUndo) {
    EventCounter atRouter(*s), atSource(*p);
    s->getInput("Main")->connect(out(p));
    EXPECT_EQ(atRouter.connected, 1);
    EXPECT_EQ(atSource.connected, 1);
    s->getInput("Main")->connect(out(q));
    EXPECT_EQ(atRouter.disconnected, 1);
    EXPECT_EQ(atRouter.connected, 2);
    EXPECT_EQ(atSource.disconnected, 1);
    graph->getCommandStack().undo();
    EXPECT_EQ(atRouter.connected, 3);
    EXPECT_EQ(atRouter.disconnected, 2);
    others()->addEntry();
    EXPECT_EQ(atRouter.connected, 3);
}

TEST_F(Document, ADestroyedCallbackIsWithdrawn) {
    { EventCounter gone(*s); }
    EXPECT_NO_THROW(s->getInput("Main")->connect(out(p)));
}

TEST_F(Document, ABoundaryNodeStandsForItsGroupUntilTheGroupIsOpenedAndPassesItsInputOn) {
    auto group = graph->createGroup("G");
    auto boundary = graph->createBoundary(group, "G.out", "Result");
    graph->setGroup(p, group);
    EXPECT_EQ(p->getGroup(), group);
    EXPECT_FALSE(boundary->isGroupOpen());
    group->setOpen(true);
    EXPECT_TRUE(boundary->isGroupOpen());
    boundary->getInput("Input")->connect(out(p));
    s->getInput("Main")->connect(boundary->getOutput("Result"));
    EXPECT_EQ(graph->getProcNode(s->getOutput("Out")), graph->getProcNode(out(p)));
    graph->getCommandStack().undo();
    graph->getCommandStack().undo();
    graph->getCommandStack().undo();
    EXPECT_TRUE(p->getGroup().isNull());
}

TEST_F(Document, SaveThenLoadGivesTheSameDocumentAndCallsNodeLoaded) {
    s->getInput("Main")->connect(out(p));
    others()->connect(out(q));
    others()->addEntry();
    others()->connect(out(r));
    p->getValue("Color")->fromText("1 0.5 0.25 1");
    s->getValue("Label")->fromText("a \"quoted\" <note>\nwith & two lines");
    auto group = graph->createGroup("G");
    graph->createBoundary(group, "G.out", "Result");
    const std::string saved = graph->saveToText();

    RCShdPtr<PiGraph> loaded(new PiGraph());
    const int loadsBefore = KrTest::routerLoads;
    loaded->loadFromText(saved, "saved.xml");
    EXPECT_EQ(KrTest::routerLoads, loadsBefore + 1);
    EXPECT_EQ(loaded->saveToText(), saved);
    EXPECT_TRUE(loaded->getCommandStack().getUndoLabels().empty());
    RCShdPtr<PiNode> s2 = loaded->findNode("S");
    EXPECT_EQ(s2->getValue("Label")->toText(), "a \"quoted\" <note>\nwith & two lines");
    EXPECT_EQ(s2->getInput("Others").cast<PiMultivaluedInput>()->getNbEntries(), 3);
    EXPECT_TRUE(loaded->findNode("G.out").dynamicCast<PiBoundaryNode>());
}

TEST_F(Document, AnUnreadableDocumentLeavesTheCurrentOneUntouched) {
    s->getInput("Main")->connect(out(p));
    const std::string before = graph->saveToText();
    const std::string broken = "<document version=\"1\"><node name=\"X\" tool=\"Router\"/>"
                               "<connection input=\"X\" socket=\"Main\" source=\"Nobody\" output=\"Output\"/>"
                               "</document>";
    try {
        graph->loadFromText(broken, "broken.xml");
        FAIL() << "loaded a document naming a missing node";
    } catch (const ExPiError& error) {
        EXPECT_NE(error.getText().find("broken.xml"), std::string::npos) << error.getText();
        EXPECT_NE(error.getText().find("Nobody"), std::string::npos) << error.getText();
    }
    EXPECT_THROW(graph->loadFromText("<document version=\"1\"><node", "cut.xml"), ExPiError);
    EXPECT_THROW(graph->loadFromText("<document version=\"1\"><node name=\"Y\" tool=\"Gone\"/></document>", "t.xml"),
                 ExPiError);

    // Texts refused with the file, the line and the fault; a nesting that would once have
    // crashed the reader among them.
    std::string deep = "<document version=\"1\">\n";
    for (int i = 0; i < 300000; ++i)
        deep += "<node>";
    const std::string cycle = "<document version=\"1\"><node name=\"A\" tool=\"Router\"/>\n"
                              "<node name=\"B\" tool=\"Router\"/>\n"
                              "<connection input=\"A\" socket=\"Main\" source=\"B\" output=\"Out\"/>\n"
                              "<connection input=\"B\" socket=\"Main\" source=\"A\" output=\"Out\"/></document>";
    const std::pair<std::string, std::string> texts[] = {
        {deep, "deep.xml\": line 2: elements are nested more than 256 deep"},
        {"<document version=\"1\">\n<node>\n</value></document>", "mismatched.xml\": line 3: </value> does not close"},
        {"<document version=\"1\">\n\n<group name=\"G\" open=\"1\">", "unclosed.xml\": line 3: <group> is not closed"},
        {cycle, "cycle.xml\": line 1: the connections make a cycle through node \"A\""},
        {"<document version=\"1\">\n<node name=\"A\" tool=\"Router\"/>\n<node name=\"A\" tool=\"Router\"/></document>",
         "twice.xml\": line 3: cannot create node \"A\": the document already has"},
    };
    for (const auto& [text, expected] : texts) {
        const std::string name = expected.substr(0, expected.find('"'));
        try {
            graph->loadFromText(text, name);
            ADD_FAILURE() << "opened " << name;
        } catch (const ExPiError& error) {
            EXPECT_NE(error.getText().find(expected), std::string::npos) << error.getText();
        }
    }

    // Only regular files of a bounded size are read; anything else is refused by name before
    // it is read (a device would be read until memory runs out, a pipe would wait for a writer).
    const auto dir = std::filesystem::temp_directory_path() / ("piDocumentTests-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "fifo.xml").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = (dir / "large.xml").string();
    std::ofstream{large}.close();
    std::filesystem::resize_file(large, (std::uintmax_t(64) << 20) + 1); // sparse: no disk used
    const std::pair<std::string, std::string> files[] = {
        {"/dev/zero", "it is not a regular file"},
        {fifo, "it is not a regular file"},
        {dir.string(), "it is not a regular file"},
        {large, "it is larger than 64 MiB"},
        {(dir / "missing.xml").string(), "the file does not exist"},
    };
    for (const auto& [path, why] : files) {
        try {
            graph->load(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const ExPiError& error) {
            EXPECT_NE(error.getText().find("cannot load the document \"" + path + "\": " + why), std::string::npos)
                << error.getText();
        }
    }
    std::filesystem::remove_all(dir);
    EXPECT_EQ(graph->saveToText(), before);
    EXPECT_EQ(graph->findNode("S"), s);
}

TEST_F(Document, SavingToAnUnwritablePlaceFailsWithoutLeavingAPartialFile) {
    const auto dir = std::filesystem::temp_directory_path() / "piDocumentTests-missing-dir";
    EXPECT_THROW(graph->save((dir / "doc.xml").string()), ExPiError);
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(Document, NodesOutliveTheirDocumentUnconnected) {
    s->getInput("Main")->connect(out(p));
    graph.reset();
    EXPECT_TRUE(s->getGraph().isNull());
    EXPECT_FALSE(s->getInput("Main")->isConnected());
    EXPECT_THROW(s->getInput("Main")->connect(out(q)), ExPiError);
    EXPECT_THROW(s->getCommandStack(), ExPiError);
}

} // namespace
