// SPDX-License-Identifier: Apache-2.0
// The document round trip as a property: random documents built from every loaded tool
// (the Switcher, Notes and LUT 1D plug-ins, the framework's sources and the test router),
// with groups nested three deep, boundary nodes, multi-valued entries with and without
// sources, text values of random bytes and numbers of random bits, must save, open and save
// again to the same bytes and the same graph; and so must every state that undoing
// everything and redoing everything passes through.
//
// KR_PROPERTY_SEED and KR_PROPERTY_ROUNDS change the seed and the number of documents (the
// defaults keep `make test` short; `make soak` runs many more).

#include "piTestTools.h"

#include <Kr/In.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNodeController.h>
#include <Kr/PimUtils.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

using namespace Kr;

namespace {

// Keeps the framework initialised, with the tool plug-ins loaded, for the whole program.
class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        _guard = std::make_unique<InInitGuard>(_argc, _argvPointer);
        for (const char* tool : {"libKRswitcher.krtool", "libKRnotes.krtool", "libKRlut1D.krtool"})
            ASSERT_TRUE(PimUtils::load(OsFilePath(std::string(KR_BIN_DIR) + "/" + tool), InInitMgr::InitializeNow));
        KrTest::registerTestTools();
    }
    void TearDown() override { _guard.reset(); }

private:
    char _program[32] = "piDocumentPropertyTests";
    char* _argv[2] = {_program, nullptr};
    int _argc = 1;
    char** _argvPointer = _argv;
    std::unique_ptr<InInitGuard> _guard;
};

const ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

unsigned long fromEnvironment(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

template <class T> std::string numberText(T value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

class RandomDocument {
public:
    explicit RandomDocument(std::uint64_t seed) : _random(seed) {}

    void build(PiGraph& graph, int steps) {
        for (int i = 0; i < steps; ++i) {
            try {
                step(graph);
            } catch (const ExBase&) {
                // Refused changes (cycles, mismatched sockets) are part of the exercise.
            }
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(_random); }
    bool chance(int percent) { return pick(100) < percent; }
    template <class T> T pickFrom(const std::vector<T>& items) { return items[pick(static_cast<int>(items.size()))]; }

    std::string newName() {
        // Names are plain text, but markup and non-ASCII characters are fair game.
        static const std::vector<std::string> flavours{"", "<", "&", "\"", "'", " ", "\xC3\xA9", "\xF0\x9F\x98\x80"};
        std::string name = "n";
        name += std::to_string(_names++);
        name += pickFrom(flavours);
        return name;
    }

    // Bytes a value may hold: control characters, NUL, bytes that are not UTF-8, surrogates,
    // U+FFFE, markup, backslashes that look like escapes, and plain text.
    std::string randomBytes() {
        static const std::vector<std::string> pieces{"a",
                                                     "Z",
                                                     " ",
                                                     "\t",
                                                     "\n",
                                                     "\r",
                                                     "\r\n",
                                                     std::string(1, '\0'),
                                                     "\x01",
                                                     "\x07",
                                                     "\f",
                                                     "\x1F",
                                                     "\x7F",
                                                     "<",
                                                     ">",
                                                     "&",
                                                     "\"",
                                                     "'",
                                                     "]]>",
                                                     "\\",
                                                     "\\x41",
                                                     "\\\\",
                                                     "\xC3\xA9",
                                                     "\xE9",
                                                     "\xC3",
                                                     "\xED\xA0\x80",
                                                     "\xEF\xBF\xBE",
                                                     "\xF0\x9F\x98\x80",
                                                     "\xC0\xAF",
                                                     "\xF5\x80\x80\x80",
                                                     "&#1;",
                                                     "x"};
        std::string text;
        const int length = pick(12);
        for (int i = 0; i < length; ++i)
            text += chance(20) ? std::string(1, static_cast<char>(pick(256))) : pickFrom(pieces);
        return text;
    }

    template <class T, class Bits> T randomNumber() {
        static const std::vector<T> special{std::numeric_limits<T>::denorm_min(),
                                            -std::numeric_limits<T>::denorm_min(),
                                            std::numeric_limits<T>::min(),
                                            std::numeric_limits<T>::max(),
                                            -std::numeric_limits<T>::max(),
                                            std::numeric_limits<T>::infinity(),
                                            -T(0),
                                            T(0.1234567),
                                            T(1234567),
                                            T(0.1)};
        if (chance(30))
            return pickFrom(special);
        for (;;) {
            const Bits bits = static_cast<Bits>(std::uniform_int_distribution<std::uint64_t>()(_random));
            T value;
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isnan(value))
                return value;
        }
    }

    float finiteFloat() {
        for (;;)
            if (const float value = randomNumber<float, std::uint32_t>(); std::isfinite(value))
                return value;
    }

    // A valid 1D table, its numbers as random as a table allows.
    std::string randomCube() {
        const int size = 2 + pick(5);
        float low = finiteFloat(), high = finiteFloat();
        if (low > high)
            std::swap(low, high);
        if (!(low < high))
            high = std::nextafter(low, std::numeric_limits<float>::infinity());
        if (!std::isfinite(high))
            low = -1, high = 1;
        std::string text = "LUT_1D_SIZE " + std::to_string(size) + "\n";
        text += "DOMAIN_MIN " + numberText(low) + " " + numberText(low) + " " + numberText(low) + "\n";
        text += "DOMAIN_MAX " + numberText(high) + " " + numberText(high) + " " + numberText(high) + "\n";
        for (int i = 0; i < size; ++i)
            text +=
                numberText(finiteFloat()) + " " + numberText(finiteFloat()) + " " + numberText(finiteFloat()) + "\n";
        return text;
    }

    std::string randomValueText(const PiValue& value) {
        switch (value.getValueType()) {
        case PiValueType::boolean:
            return chance(50) ? "1" : "0";
        case PiValueType::integer:
            return std::to_string(std::uniform_int_distribution<int>()(_random));
        case PiValueType::real:
            return numberText(randomNumber<double, std::uint64_t>());
        case PiValueType::color: {
            std::string text = numberText(randomNumber<float, std::uint32_t>());
            for (int c = 1; c < 4; ++c) {
                text += ' ';
                text += numberText(randomNumber<float, std::uint32_t>());
            }
            return text;
        }
        default:
            return value.getName() == "LUT" ? (chance(20) ? std::string() : randomCube()) : randomBytes();
        }
    }

    static int depthOf(const PiNode& node) {
        int depth = 0;
        for (auto group = node.getGroup(); group; group = group->getGroup())
            ++depth;
        return depth;
    }

    void step(PiGraph& graph) {
        std::vector<RCShdPtr<PiNode>> nodes = graph.getNodes();
        std::vector<RCShdPtr<PiGroupNode>> groups;
        std::vector<RCShdPtr<PiInput>> inputs;
        std::vector<RCShdPtr<PiOutput>> outputs;
        std::vector<RCShdPtr<PiValue>> values;
        for (const auto& node : nodes) {
            for (int i = 0; i < node->getNbValues(); ++i)
                values.push_back(node->getValueAt(i));
            if (auto group = node.dynamicCast<PiGroupNode>())
                groups.push_back(group);
            for (int i = 0; i < node->getNbInputs(); ++i)
                inputs.push_back(node->getInputAt(i));
            for (int i = 0; i < node->getNbOutputs(); ++i)
                outputs.push_back(node->getOutputAt(i));
        }
        const int action = nodes.size() < 6 ? 0 : pick(100);
        if (action < 20) {
            graph.createNode(pickFrom(PiToolRegistry::getInstance().getToolNames()), newName());
        } else if (action < 27) {
            RCShdPtr<PiGroupNode> group = graph.createGroup(newName());
            // Nested at most three deep.
            std::vector<RCShdPtr<PiGroupNode>> parents;
            for (const auto& candidate : groups)
                if (depthOf(*candidate) < 2)
                    parents.push_back(candidate);
            if (!parents.empty() && chance(70))
                graph.setGroup(group, pickFrom(parents));
        } else if (action < 31 && !groups.empty()) {
            graph.createBoundary(chance(90) ? pickFrom(groups) : RCShdPtr<PiGroupNode>(), newName(), "Out");
        } else if (action < 37 && !groups.empty()) {
            RCShdPtr<PiNode> node = pickFrom(nodes);
            if (!node.dynamicCast<PiGroupNode>())
                graph.setGroup(node, chance(85) ? pickFrom(groups) : RCShdPtr<PiGroupNode>());
        } else if (action < 55 && !inputs.empty() && !outputs.empty()) {
            pickFrom(inputs)->connect(pickFrom(outputs));
        } else if (action < 60 && !inputs.empty()) {
            if (auto multi = pickFrom(inputs).dynamicCast<PiMultivaluedInput>())
                multi->addEntry();
        } else if (action < 65 && !inputs.empty()) {
            RCShdPtr<PiInput> input = pickFrom(inputs);
            auto multi = input.dynamicCast<PiMultivaluedInput>();
            if (multi && multi->getNbEntries() > 0) {
                if (chance(50))
                    multi->removeEntry(pick(multi->getNbEntries()));
                else
                    multi->getEntry(pick(multi->getNbEntries()))->disconnect();
            } else {
                input->disconnect();
            }
        } else if (action < 95 && !values.empty()) {
            RCShdPtr<PiValue> value = pickFrom(values);
            value->fromText(randomValueText(*value));
        } else {
            graph.removeNode(pickFrom(nodes));
        }
    }

    std::mt19937_64 _random;
    int _names = 0;
};

std::string sourceText(const RCShdPtr<const PiOutput>& source) {
    return source ? source->getNode()->getName() + "." + source->getName() : "-";
}

// Everything a document holds, node by node in name order: what the node is, its group, its
// values byte for byte and its connections, entries in order. The Switcher drops entries
// without a source when it is loaded, so they can be left out of the comparison.
std::string describe(const PiGraph& graph, bool withoutSwitcherEmptyEntries) {
    std::vector<RCShdPtr<PiNode>> nodes = graph.getNodes();
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a->getName() < b->getName(); });
    std::ostringstream out;
    for (const auto& node : nodes) {
        out << "[" << node->getName() << "] " << node->getToolName();
        if (auto group = node.dynamicCast<PiGroupNode>())
            out << "group " << group->isOpen();
        if (node.dynamicCast<PiBoundaryNode>())
            out << "boundary " << node->getOutputAt(0)->getName();
        if (auto group = node->getGroup())
            out << " in [" << group->getName() << "]";
        out << "\n";
        for (int i = 0; i < node->getNbValues(); ++i)
            out << "  " << node->getValueAt(i)->getName() << "=" << node->getValueAt(i)->toText() << "\n";
        for (int i = 0; i < node->getNbInputs(); ++i) {
            const auto& input = node->getInputAt(i);
            out << "  " << input->getName() << " <-";
            if (auto multi = input.dynamicCast<PiMultivaluedInput>()) {
                for (int e = 0; e < multi->getNbEntries(); ++e) {
                    auto source = multi->getEntry(e)->getSource();
                    if (source || !(withoutSwitcherEmptyEntries && node->getToolName() == "Switcher"))
                        out << " " << sourceText(source);
                }
            } else {
                out << " " << sourceText(input->getSource());
            }
            out << "\n";
        }
    }
    return out.str();
}

bool hasSwitcherEmptyEntries(const PiGraph& graph) {
    return describe(graph, false) != describe(graph, true);
}

// Opens the text in a new document, checks that saving it again gives the same bytes and
// the same graph, and returns the new document.
RCShdPtr<PiGraph> reopen(const std::string& text, const std::string& what) {
    RCShdPtr<PiGraph> opened(new PiGraph());
    opened->loadFromText(text, what);
    const std::string saved = opened->saveToText();
    RCShdPtr<PiGraph> again(new PiGraph());
    again->loadFromText(saved, what + " saved again");
    EXPECT_EQ(again->saveToText(), saved) << what;
    EXPECT_EQ(describe(*again, false), describe(*opened, false)) << what;
    return opened;
}

// The document survives saving and opening: same graph, and the same bytes unless the
// Switcher pruned entries without a source.
void expectRoundTrip(const PiGraph& graph, const std::string& what) {
    const std::string saved = graph.saveToText();
    RCShdPtr<PiGraph> opened;
    try {
        opened = reopen(saved, what);
    } catch (const ExBase& error) {
        FAIL() << what << ": the saved document cannot be opened: " << error.getMessage() << "\n" << saved;
    }
    EXPECT_EQ(describe(*opened, true), describe(graph, true)) << what << "\n" << saved;
    if (!hasSwitcherEmptyEntries(graph)) {
        EXPECT_EQ(opened->saveToText(), saved) << what;
    }
}

TEST(DocumentProperty, RandomDocumentsSaveOpenAndUndoExactly) {
    const unsigned long seed = fromEnvironment("KR_PROPERTY_SEED", 19);
    const unsigned long rounds = fromEnvironment("KR_PROPERTY_ROUNDS", 30);
    const std::string empty = PiGraph().saveToText();
    for (unsigned long round = 0; round < rounds && !::testing::Test::HasFailure(); ++round) {
        const std::string what = "seed " + std::to_string(seed) + ", round " + std::to_string(round);
        RCShdPtr<PiGraph> graph(new PiGraph());
        RandomDocument(seed * 1000003 + round).build(*graph, 80);
        const std::string built = graph->saveToText();
        expectRoundTrip(*graph, what);

        // Every state on the way back to the empty document and forth again round-trips, and
        // redoing everything gives the document back byte for byte.
        PiCommandStack& history = graph->getCommandStack();
        std::vector<std::string> states{built};
        while (history.canUndo()) {
            history.undo();
            states.push_back(graph->saveToText());
            expectRoundTrip(*graph, what + ", undo " + std::to_string(states.size() - 1));
        }
        EXPECT_EQ(states.back(), empty) << what;
        for (std::size_t i = states.size() - 1; history.canRedo(); --i) {
            history.redo();
            EXPECT_EQ(graph->saveToText(), states[i - 1]) << what << ", redo back to state " << i - 1;
        }
        EXPECT_EQ(graph->saveToText(), built) << what;
    }
}

} // namespace
