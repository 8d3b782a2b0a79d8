// SPDX-License-Identifier: Apache-2.0
// What a user made survives saving, opening and undo exactly: values of any bytes, numbers
// to the last bit, nested groups, groups removed with their contents; and documents that
// could not be opened again are never written.

#include "piTestTools.h"

#include <Kr/PiGraph.h>
#include <Kr/PiNodeController.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Kr;

namespace {

class DocumentExactness : public ::testing::Test {
protected:
    void SetUp() override {
        KrTest::registerTestTools();
        graph = RCShdPtr<PiGraph>(new PiGraph());
        p = graph->createNode("Constant", "P");
        s = graph->createNode("Router", "S");
        graph->getCommandStack().clear();
    }
    RCShdPtr<PiGraph> reopened(const std::string& text) {
        RCShdPtr<PiGraph> loaded(new PiGraph());
        loaded->loadFromText(text, "doc.xml");
        return loaded;
    }
    std::string refusal(const std::string& text) {
        try {
            reopened(text);
        } catch (const ExPiError& error) {
            return error.getText();
        }
        return "(opened)";
    }
    RCShdPtr<PiGraph> graph;
    RCShdPtr<PiNode> p, s;
};

TEST_F(DocumentExactness, TextValuesOfAnyBytesSurviveSaveAndOpenAndPlainTextStaysPlain) {
    struct Case {
        std::string bytes;
        bool escaped;
    };
    const std::vector<Case> cases{
        {"plain words", false},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", false},
        {"<a href=\"x\">&amp;</a> ]]> 'q'", false},
        {"tab\tline\nreturn\r\nend", false},
        {"C:\\luts\\x41.cube", false},
        {"", false},
        {"  spaced  ", false},
        {"   ", false},
        {"bell\x07", true},
        {std::string("nul\0byte", 8), true},
        {"form\ffeed\x01\x1F\x7F", true},
        {"caf\xE9.cube", true},
        {"\xC3", true},
        {"\xC0\xAF overlong", true},
        {"\xED\xA0\x80 surrogate", true},
        {"\xEF\xBF\xBE not a character", true},
        {"\xF4\x90\x80\x80 beyond U+10FFFF", true},
        {"\\x41 and \\\\ with \x02", true},
    };
    RCShdPtr<PiValue> label = s->getValue("Label");
    for (const Case& c : cases) {
        label->fromText(c.bytes);
        const std::string saved = graph->saveToText();
        EXPECT_EQ(saved.find("escaped=\"1\"") != std::string::npos, c.escaped) << saved;
        EXPECT_EQ(reopened(saved)->findNode("S")->getValue("Label")->toText(), c.bytes) << saved;
    }
    // Undo goes back through every one of them.
    for (auto it = cases.rbegin() + 1; it != cases.rend(); ++it) {
        graph->getCommandStack().undo();
        EXPECT_EQ(label->toText(), it->bytes);
    }
}

TEST_F(DocumentExactness, OlderDocumentsReadTheirTextAsWrittenAndBrokenEscapesAreRefusedByLine) {
    const std::string older = "<document version=\"1\">\n<node name=\"S\" tool=\"Router\">\n"
                              "<value name=\"Label\">C:\\x41\\\\</value>\n</node>\n</document>\n";
    EXPECT_EQ(reopened(older)->findNode("S")->getValue("Label")->toText(), "C:\\x41\\\\");

    const std::string broken = "<document version=\"1\">\n<node name=\"S\" tool=\"Router\">\n"
                               "<value name=\"Label\" escaped=\"1\">bad \\q</value>\n</node>\n</document>\n";
    const std::string why = refusal(broken);
    EXPECT_NE(why.find("line 3"), std::string::npos) << why;
    EXPECT_NE(why.find("node \"S\", value \"Label\""), std::string::npos) << why;
    EXPECT_NE(refusal(older.substr(0, older.find(">C:")) + " escaped=\"yes\">x</value></node></document>")
                  .find("escaped=\"yes\""),
              std::string::npos);
}

TEST_F(DocumentExactness, NumbersComeBackToTheLastBitFromUndoAndDocuments) {
    const float denormal = std::numeric_limits<float>::denorm_min();
    const std::vector<PiColor> colours{{{0.1234567f, 1234567.f, 0.1f, 1}},
                                       {{denormal, -denormal, std::numeric_limits<float>::max(), -0.f}},
                                       {{std::numeric_limits<float>::infinity(), 3e38f, 1e-38f, 16777217.f}}};
    RCShdPtr<PiTypedValue<PiColor>> colour = p->getValue("Color").cast<PiTypedValue<PiColor>>();
    for (const PiColor& c : colours) {
        colour->set(c);
        RCShdPtr<PiGraph> loaded = reopened(graph->saveToText());
        const PiColor back = loaded->findNode("P")->getValue("Color").cast<PiTypedValue<PiColor>>()->get();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(std::signbit(back.rgba[i]), std::signbit(c.rgba[i]));
        EXPECT_EQ(back, c) << colour->toText();
    }
    graph->getCommandStack().undo();
    EXPECT_EQ(colour->get(), colours[1]);
    graph->getCommandStack().undo();
    EXPECT_EQ(colour->get(), colours[0]);
    EXPECT_EQ(colour->toText(), "0.1234567 1234567 0.1 1");

    // Shortest texts, and what older documents wrote still reads.
    EXPECT_EQ(PiValueTraits<double>::toText(0.1), "0.1");
    EXPECT_EQ(PiValueTraits<double>::toText(1.0 / 3), "0.3333333333333333");
    for (const char* text : {"+1", "0.123457", "1e5", ".5", "-0"}) {
        double value = 7;
        EXPECT_TRUE(PiValueTraits<double>::fromText(text, value)) << text;
    }
    for (const char* text : {"", "1e400", "0x10", "1,5", "+-1", " 1"}) {
        double value = 7;
        EXPECT_FALSE(PiValueTraits<double>::fromText(text, value)) << text;
    }
}

TEST_F(DocumentExactness, NestedGroupsAreWrittenParentsFirstAndOlderOrdersStillOpen) {
    // Made innermost first, so that creation order is the wrong order.
    auto inner = graph->createGroup("Inner");
    auto middle = graph->createGroup("Middle");
    auto outer = graph->createGroup("Outer");
    graph->setGroup(inner, middle);
    graph->setGroup(middle, outer);
    graph->setGroup(p, inner);
    const std::string saved = graph->saveToText();
    EXPECT_LT(saved.find("name=\"Outer\""), saved.find("name=\"Middle\""));
    EXPECT_LT(saved.find("name=\"Middle\""), saved.find("name=\"Inner\""));
    RCShdPtr<PiGraph> loaded = reopened(saved);
    EXPECT_EQ(loaded->findNode("P")->getGroup()->getGroup()->getGroup()->getName(), "Outer");
    EXPECT_EQ(loaded->saveToText(), saved);

    const std::string older = "<document version=\"1\"><group name=\"B\" open=\"0\" group=\"A\"/>"
                              "<group name=\"A\" open=\"1\"/></document>";
    EXPECT_EQ(reopened(older)->findNode("B")->getGroup()->getName(), "A");
    const std::string circular = "<document version=\"1\"><group name=\"B\" open=\"0\" group=\"A\"/>"
                                 "<group name=\"A\" open=\"1\" group=\"B\"/></document>";
    EXPECT_NE(refusal(circular).find("lies inside it"), std::string::npos) << refusal(circular);
}

TEST_F(DocumentExactness, RemovingAGroupRemovesEverythingInsideItAndUndoRestoresItExactly) {
    auto outer = graph->createGroup("G");
    auto inner = graph->createGroup("H");
    graph->setGroup(inner, outer);
    auto q = graph->createNode("Constant", "Q");
    graph->setGroup(q, inner);
    graph->setGroup(p, outer);
    auto boundary = graph->createBoundary(outer, "G.out", "Out");
    boundary->getInput("Input")->connect(q->getOutput("Output"));
    auto others = s->getInput("Others").cast<PiMultivaluedInput>();
    others->connect(p->getOutput("Output"));
    others->addEntry();
    others->connect(boundary->getOutput("Out"));
    s->getInput("Main")->connect(q->getOutput("Output"));
    auto outside = graph->createNode("Constant", "R");
    others->connect(outside->getOutput("Output"));
    const std::string before = graph->saveToText();
    graph->getCommandStack().clear();

    graph->removeNode(outer);
    for (const char* gone : {"G", "H", "P", "Q", "G.out"})
        EXPECT_TRUE(graph->findNode(gone).isNull()) << gone;
    EXPECT_EQ(others->getNbEntries(), 2); // the unconnected entry and R's
    EXPECT_FALSE(s->getInput("Main")->isConnected());
    EXPECT_EQ(graph->getCommandStack().getUndoLabels(), std::vector<std::string>{"Remove G"});
    const std::string after = graph->saveToText();
    EXPECT_EQ(reopened(after)->saveToText(), after);

    graph->getCommandStack().undo();
    EXPECT_EQ(graph->saveToText(), before);
    EXPECT_EQ(p->getGroup(), outer);
    graph->getCommandStack().redo();
    EXPECT_EQ(graph->saveToText(), after);
}

TEST_F(DocumentExactness, NothingUnwritableEntersADocument) {
    auto group = graph->createGroup("G");
    auto inside = graph->createGroup("H");
    graph->setGroup(inside, group);
    EXPECT_THROW(graph->setGroup(group, inside), ExPiError);
    EXPECT_THROW(graph->setGroup(group, group), ExPiError);
    for (const std::string name : {"bell\x07", "caf\xE9", "\xEF\xBF\xBF"})
        EXPECT_THROW(graph->createNode("Constant", name), ExPiError) << name;
    EXPECT_NO_THROW(graph->createNode("Constant", "caf\xC3\xA9 <&>"));

    // A boundary taken out of its group is written and read at the top level.
    auto boundary = graph->createBoundary(group, "B", "Out");
    graph->setGroup(boundary, RCShdPtr<PiGroupNode>());
    RCShdPtr<PiGraph> loaded = reopened(graph->saveToText());
    EXPECT_TRUE(loaded->findNode("B").dynamicCast<PiBoundaryNode>());
    EXPECT_TRUE(loaded->findNode("B")->getGroup().isNull());
}

} // namespace
