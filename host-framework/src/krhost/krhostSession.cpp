// SPDX-License-Identifier: Apache-2.0
#include "krhostSession.h"

#include <Kr/BrBrowser.h>
#include <Kr/Ex.h>
#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PimUtils.h>
#include <Kr/PxImage.h>
#include <Kr/UiAppMgr.h>
#include <Kr/UiHotkeyRegistry.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <ostream>

namespace Krhost {

using namespace Kr;

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw KrhostError(why);
}

void expectArgs(const std::vector<std::string>& args, std::size_t minimum, std::size_t maximum,
                const std::string& form) {
    if (args.size() < minimum || args.size() > maximum)
        refuse("usage: " + form);
}

int toInt(const std::string& text, const std::string& what) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        refuse(what + " \"" + text + "\" is not a whole number");
    return static_cast<int>(value);
}

std::string sourceText(const RCShdPtr<const PiOutput>& source) {
    if (!source)
        return "(none)";
    RCShdPtr<PiNode> node = source->getNode();
    return (node ? node->getName() : std::string("?")) + "." + source->getName();
}

} // namespace

Session::Session(std::ostream& out) : _out(out), _graph(new PiGraph()) {
    if (!UiAppMgr::getInstance().getTopLevel())
        UiAppMgr::getInstance().setTopLevel(RCShdPtr<UiTopLevel>(new UiTopLevel("krhost")));
}

Session::~Session() {
    _editors.clear();
    _viewers.clear();
}

bool Session::isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::vector<std::string> Session::tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (isWhiteSpace(line[i])) {
            ++i;
            continue;
        }
        std::string token;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) {
                    c = line[i++];
                    token += c == 'n' ? '\n' : c;
                    continue;
                }
                token += c;
            }
            if (!closed)
                refuse("a quoted text is not closed");
        } else {
            while (i < line.size() && !isWhiteSpace(line[i]))
                token += line[i++];
        }
        tokens.push_back(token);
    }
    return tokens;
}

std::vector<std::string> Session::readLine(const std::string& line) {
    const auto first = std::find_if(line.begin(), line.end(), [](char c) { return !isWhiteSpace(c); });
    if (first == line.end() || *first == '#')
        return {};
    return tokenize(line);
}

const std::vector<Session::Command>& Session::commands() {
    // Lambdas written here have the session's access to its private operations.
    static const std::vector<Command> table{
        {"plugin", "plugin <file>", "load a tool or module", 2, 2,
         [](Session&, const Args& a) { PimUtils::load(OsFilePath(a[1]), InInitMgr::InitializeNow); }},
        {"create", "create <tool> <node>", "", 3, 3,
         [](Session& s, const Args& a) { s._graph->createNode(a[1], a[2]); }},
        {"remove", "remove <node>", "a group goes with everything inside it", 2, 2,
         [](Session& s, const Args& a) { s.remove(a[1]); }},
        {"group", "group <name> [open|closed]", "", 2, 3,
         [](Session& s, const Args& a) { s._graph->createGroup(a[1])->setOpen(a.size() == 3 && a[2] == "open"); }},
        {"boundary", "boundary <group> <node> <output>", "", 4, 4,
         [](Session& s, const Args& a) {
             auto group = s.node(a[1]).dynamicCast<PiGroupNode>();
             if (!group)
                 refuse("\"" + a[1] + "\" is not a group");
             s._graph->createBoundary(group, a[2], a[3]);
         }},
        {"ingroup", "ingroup <node> <group>", "", 3, 3,
         [](Session& s, const Args& a) {
             auto group = s.node(a[2]).dynamicCast<PiGroupNode>();
             if (!group)
                 refuse("\"" + a[2] + "\" is not a group");
             s._graph->setGroup(s.node(a[1]), group);
         }},
        {"connect", "connect <source> [<output>] <node> <input>", "", 4, 5,
         [](Session& s, const Args& a) { s.connect(a); }},
        {"disconnect", "disconnect <node> <input> [<entry>]", "(an entry: that entry is removed)", 3, 4,
         [](Session& s, const Args& a) { s.disconnect(a); }},
        {"entry", "entry <node> <input>", "add an unconnected entry", 3, 3,
         [](Session& s, const Args& a) { s.input(a[1], a[2]).cast<PiMultivaluedInput>()->addEntry(); }},
        {"set", "set <node> <value> <text>", "", 4, 4,
         [](Session& s, const Args& a) {
             RCShdPtr<PiValue> value = s.node(a[1])->getValue(a[2]);
             if (!value)
                 refuse("node \"" + a[1] + "\" has no value \"" + a[2] + "\"");
             value->fromText(a[3]);
         }},
        {"editor", "editor open|close <node>", "", 3, 3, [](Session& s, const Args& a) { s.editor(a); }},
        {"press", "press <node> <button>", "", 3, 3,
         [](Session& s, const Args& a) { s.widget(a[1], a[2]).cast<PiButton>()->press(); }},
        {"choose", "choose <node> <menu> <index>", "", 4, 4,
         [](Session& s, const Args& a) { s.widget(a[1], a[2]).cast<PiMenu>()->choose(toInt(a[3], "menu entry")); }},
        {"type", "type <node> <field> <text>", "", 4, 4,
         [](Session& s, const Args& a) { s.widget(a[1], a[2]).cast<PiTextField>()->enter(a[3]); }},
        {"event", "event <node> <widget> <code>", "", 4, 4,
         [](Session& s, const Args& a) { s.widget(a[1], a[2])->raiseEvent(toInt(a[3], "event code")); }},
        {"viewer", "viewer <viewer> add|remove <node>", "", 4, 4,
         [](Session& s, const Args& a) {
             if (a[2] == "add")
                 s.viewer(a[1]).addNode(s.node(a[3]));
             else if (a[2] == "remove")
                 s.viewer(a[1]).removeNode(s.node(a[3]));
             else
                 refuse("usage: viewer <viewer> add|remove <node>");
         }},
        {"key", "key <viewer> <key>", "", 3, 3,
         [](Session& s, const Args& a) {
             const bool used = s.viewer(a[1]).pressKey(a[2]);
             s._out << "key " << a[2] << " in " << a[1] << ": " << (used ? "handled" : "not handled") << "\n";
         }},
        {"bind", "bind <path> <name> <key>", "", 4, 4,
         [](Session&, const Args& a) {
             auto& hotkeys = UiHotkeyRegistry::getInstance();
             hotkeys.bindKey(hotkeys.getEntry(a[1], a[2]), a[3]);
         }},
        {"scheme", "scheme register|unregister <scheme>", "", 3, 3,
         [](Session&, const Args& a) {
             if (a[1] == "register")
                 BrRegistry::getInstance().registerScheme(a[2]);
             else if (a[1] == "unregister")
                 BrRegistry::getInstance().unregisterScheme(a[2]);
             else
                 refuse("usage: scheme register|unregister <scheme>");
         }},
        {"browser", "browser <name> go <folder>|pick <entry>|print", "", 3, 4,
         [](Session& s, const Args& a) { s.browser(a); }},
        {"undo", "undo", "", 1, 1, [](Session& s, const Args&) { s._graph->getCommandStack().undo(); }},
        {"redo", "redo", "", 1, 1, [](Session& s, const Args&) { s._graph->getCommandStack().redo(); }},
        {"save", "save <file>", "", 2, 2, [](Session& s, const Args& a) { s._graph->save(a[1]); }},
        {"open", "open <file>", "a document that cannot be opened changes nothing", 2, 2,
         [](Session& s, const Args& a) { s.open(a[1]); }},
        {"print",
         "print graph|history|tools|editor <node>|menu <node> <menu>|value <node> <value>|schematic <node> <layout>",
         "", 2, 4, [](Session& s, const Args& a) { s.print(a); }},
        {"png", "png <node> [<output>] <file>", "", 3, 4, [](Session& s, const Args& a) { s.writePng(a); }},
        {"pixel", "pixel <node> [<output>] <x> <y>", "", 4, 5, [](Session& s, const Args& a) { s.pixel(a); }},
        {"echo", "echo <text>", "", 1, std::size_t(-1),
         [](Session& s, const Args& a) {
             for (std::size_t i = 1; i < a.size(); ++i)
                 s._out << (i > 1 ? " " : "") << a[i];
             s._out << "\n";
         }},
        {"help", "help", "list the commands", 1, 1, [](Session& s, const Args&) { s._out << usage(); }},
    };
    return table;
}

const Session::Command* Session::findCommand(const std::string& name) {
    for (const Command& command : commands())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string Session::usage() {
    std::string text = "commands (one a line; quote names with blanks: \"Selected Image\"):\n";
    for (const Command& command : commands()) {
        std::string line = std::string("  ") + command.form;
        if (*command.note)
            line += std::string(std::max<std::size_t>(line.size() + 2, 44) - line.size(), ' ') + command.note;
        text += line + "\n";
    }
    return text;
}

void Session::loadPlugins(const std::string& directory) {
    std::vector<std::string> tools, modules;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".krtool")
            tools.push_back(entry.path().string());
        else if (ext == ".krmodule")
            modules.push_back(entry.path().string());
    }
    std::sort(tools.begin(), tools.end());
    std::sort(modules.begin(), modules.end());
    for (const auto* list : {&tools, &modules})
        for (const auto& path : *list)
            PimUtils::load(OsFilePath(path), InInitMgr::InitializeNow);
}

void Session::runScript(std::istream& script, const std::string& sourceName) {
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        try {
            run(line);
        } catch (const KrhostError& error) {
            throw KrhostError(sourceName + ":" + std::to_string(number) + ": " + error.what());
        } catch (const ExBase& error) {
            throw KrhostError(sourceName + ":" + std::to_string(number) + ": " + error.getMessage());
        } catch (const std::exception& error) {
            throw KrhostError(sourceName + ":" + std::to_string(number) + ": " + error.what());
        }
    }
}

void Session::run(const std::string& line) {
    const Args args = readLine(line);
    if (args.empty())
        return;
    try {
        dispatch(args);
    } catch (const KrhostError& error) {
        throw KrhostError(args[0] + ": " + error.what());
    } catch (const ExBase& error) {
        throw KrhostError(args[0] + ": " + error.getMessage());
    }
}

RCShdPtr<PiNode> Session::node(const std::string& name) const {
    RCShdPtr<PiNode> found = _graph->findNode(name);
    if (!found)
        refuse("the document has no node \"" + name + "\"");
    return found;
}

RCShdPtr<const PiOutput> Session::output(const std::string& nodeName, const std::string& outputName) const {
    RCShdPtr<PiNode> source = node(nodeName);
    if (outputName.empty()) {
        if (source->getNbOutputs() != 1)
            refuse("node \"" + nodeName + "\" has " + std::to_string(source->getNbOutputs()) +
                   " outputs: name the one meant");
        return source->getOutputAt(0);
    }
    RCShdPtr<PiOutput> found = source->getOutput(outputName);
    if (!found)
        refuse("node \"" + nodeName + "\" has no output \"" + outputName + "\"");
    return found;
}

RCShdPtr<PiInput> Session::input(const std::string& nodeName, const std::string& inputName) const {
    RCShdPtr<PiInput> found = node(nodeName)->getInput(inputName);
    if (!found)
        refuse("node \"" + nodeName + "\" has no input \"" + inputName + "\"");
    return found;
}

RCShdPtr<PiWidget> Session::widget(const std::string& nodeName, const std::string& widgetName) const {
    auto it = _editors.find(nodeName);
    if (it == _editors.end())
        refuse("the editor of \"" + nodeName + "\" is not open (editor open " + nodeName + ")");
    RCShdPtr<PiWidget> found = it->second->findWidget(widgetName);
    if (!found)
        refuse("the editor of \"" + nodeName + "\" has no widget \"" + widgetName + "\"");
    return found;
}

UiViewer& Session::viewer(const std::string& name) {
    auto& slot = _viewers[name];
    if (!slot)
        slot = std::make_unique<UiViewer>(name);
    return *slot;
}

void Session::dispatch(const Args& args) {
    const Command* command = findCommand(args[0]);
    if (!command)
        refuse("unknown command (\"help\" lists the commands)");
    expectArgs(args, command->minWords, command->maxWords, command->form);
    command->run(*this, args);
}

void Session::remove(const std::string& nodeName) {
    RCShdPtr<PiNode> removed = node(nodeName);
    // A group takes everything inside it along: their editors close and viewers let them go.
    auto goesAlong = [&](const RCShdPtr<PiNode>& candidate) {
        for (RCShdPtr<PiNode> at = candidate; at; at = at->getGroup())
            if (at == removed)
                return true;
        return false;
    };
    for (const auto& member : _graph->getNodes()) {
        if (!goesAlong(member))
            continue;
        _editors.erase(member->getName());
        for (auto& [name, shown] : _viewers)
            shown->removeNode(member);
    }
    _graph->removeNode(removed);
}

void Session::open(const std::string& file) {
    // Loaded first: a document that is refused leaves editors and viewers as they were.
    _graph->load(file);
    _editors.clear();
    for (auto& [name, shown] : _viewers)
        shown->clear();
}

void Session::connect(const Args& args) {
    const bool named = args.size() == 5;
    RCShdPtr<const PiOutput> source = output(args[1], named ? args[2] : std::string());
    input(args[named ? 3 : 2], args[named ? 4 : 3])->connect(source);
}

void Session::disconnect(const Args& args) {
    RCShdPtr<PiInput> target = input(args[1], args[2]);
    if (args.size() == 4)
        target.cast<PiMultivaluedInput>()->removeEntry(toInt(args[3], "entry"));
    else
        target->disconnect();
}

void Session::editor(const Args& args) {
    if (args[1] == "open") {
        _editors.erase(args[2]);
        _editors[args[2]] = PiEditor::open(node(args[2]));
    } else if (args[1] == "close") {
        if (!_editors.erase(args[2]))
            refuse("the editor of \"" + args[2] + "\" is not open");
    } else {
        refuse("usage: editor open|close <node>");
    }
}

void Session::browser(const Args& args) {
    auto* handler = dynamic_cast<BrBrowserFloatingHandler*>(UiAppMgr::getInstance().findFloatingWindow(args[1]));
    if (!handler)
        refuse("no browser \"" + args[1] + "\" is open");
    RCShdPtr<BrBrowser> browser = handler->getBrowser();
    if (args[2] == "go" && args.size() == 4) {
        browser->setURL(args[3]);
    } else if (args[2] == "pick" && args.size() == 4) {
        browser->focus(args[3]);
        browser->activate();
    } else if (args[2] == "print" && args.size() == 3) {
        _out << "browser " << args[1] << " (" << (handler->isShown() ? "shown" : "hidden") << ") at "
             << browser->getURL() << "\n";
        _out << "  schemes:";
        for (const auto& scheme : browser->getSchemes())
            _out << " " << scheme;
        _out << "\n  folder option " << browser->getFolderOption() << ", view type " << browser->getViewType()
             << ", folders " << (browser->isFolderEnabled() ? "shown" : "hidden") << ", tree "
             << (browser->isExpandFoldersNodeTree() ? "expanded" : "collapsed") << "\n";
        for (const auto& entry : browser->list())
            _out << "  " << entry.name << (entry.isFolder ? "/" : "") << "\n";
    } else {
        refuse("usage: browser <name> go <folder>|pick <entry>|print");
    }
}

void Session::print(const Args& args) {
    const std::string& what = args[1];
    if (what == "graph" && args.size() == 2) {
        printGraph();
    } else if (what == "history" && args.size() == 2) {
        const auto undo = _graph->getCommandStack().getUndoLabels();
        const auto redo = _graph->getCommandStack().getRedoLabels();
        _out << "undo history (" << undo.size() << " steps, oldest first)\n";
        for (const auto& label : undo)
            _out << "  " << label << "\n";
        _out << "redo (" << redo.size() << " steps)\n";
        for (auto it = redo.rbegin(); it != redo.rend(); ++it)
            _out << "  " << *it << "\n";
    } else if (what == "tools" && args.size() == 2) {
        for (const auto& name : PiToolRegistry::getInstance().getToolNames()) {
            PiToolProtocol* tool = PiToolRegistry::getInstance().findTool(name);
            _out << name << " [" << tool->getCategory() << "] " << tool->getDescription() << "\n";
        }
    } else if (what == "menu" && args.size() == 4) {
        auto menu = widget(args[2], args[3]).cast<PiMenu>();
        _out << "menu " << args[3] << ":";
        for (int i = 0; i < menu->getNbEntries(); ++i)
            _out << (i ? " |" : "") << " " << (i == menu->getCurrentIndex() ? "*" : "") << menu->getEntry(i);
        _out << "\n";
    } else if (what == "editor" && args.size() == 3) {
        auto it = _editors.find(args[2]);
        if (it == _editors.end())
            refuse("the editor of \"" + args[2] + "\" is not open");
        printWidget(*it->second->getRootWidget(), 0);
    } else if (what == "value" && args.size() == 4) {
        RCShdPtr<PiValue> value = node(args[2])->getValue(args[3]);
        if (!value)
            refuse("node \"" + args[2] + "\" has no value \"" + args[3] + "\"");
        _out << args[2] << "." << args[3] << " = " << value->toText() << "\n";
    } else if (what == "schematic" && args.size() == 4) {
        auto* schematic = dynamic_cast<PiSchematicInterface*>(node(args[2])->getController());
        if (!schematic)
            refuse("node \"" + args[2] + "\" has no schematic picture of its own");
        _out << schematic->getNodeXmlDescription(
            static_cast<PiSchematicInterface::Layout>(toInt(args[3], "schematic layout")));
    } else {
        refuse("usage: print graph|history|tools|menu <node> <menu>|value <node> <value>|schematic <node> <layout>");
    }
}

void Session::printWidget(const PiWidget& widget, int depth) {
    _out << std::string(depth * 2, ' ') << widget.getKind() << " " << widget.getName();
    if (auto* field = dynamic_cast<const PiTextField*>(&widget))
        _out << " = \"" << field->getText() << "\"";
    else if (auto* label = dynamic_cast<const PiLabel*>(&widget))
        _out << " = \"" << label->getText() << "\"";
    else if (auto* menu = dynamic_cast<const PiMenu*>(&widget))
        for (int i = 0; i < menu->getNbEntries(); ++i)
            _out << (i ? " |" : ":") << " " << (i == menu->getCurrentIndex() ? "*" : "") << menu->getEntry(i);
    _out << "\n";
    if (auto* container = dynamic_cast<const PiContainer*>(&widget))
        for (int i = 0; i < container->getNbChildren(); ++i)
            printWidget(*container->getChildAt(i), depth + 1);
}

void Session::printGraph() {
    for (const auto& node : _graph->getNodes()) {
        _out << "node " << node->getName();
        if (!node->getToolName().empty())
            _out << " (" << node->getToolName() << ")";
        else if (node.dynamicCast<PiGroupNode>())
            _out << " (group)";
        else
            _out << " (boundary)";
        if (auto group = node->getGroup())
            _out << " in " << group->getName();
        _out << "\n";
        for (int i = 0; i < node->getNbValues(); ++i)
            _out << "  value " << node->getValueAt(i)->getName() << " = " << node->getValueAt(i)->toText() << "\n";
        for (const auto& socket : node->getSockets()) {
            if (!socket->isInput()) {
                _out << "  output " << socket->getName() << "\n";
                continue;
            }
            auto in = RCShdPtr<PiSocket>(socket).cast<PiInput>();
            if (auto multi = in.dynamicCast<PiMultivaluedInput>()) {
                _out << "  input " << multi->getName() << " (" << multi->getNbEntries() << " entries)\n";
                for (int e = 0; e < multi->getNbEntries(); ++e)
                    _out << "    [" << e << "] <- " << sourceText(multi->getEntry(e)->getSource()) << "\n";
            } else {
                _out << "  input " << in->getName() << " <- " << sourceText(in->getSource()) << "\n";
            }
        }
    }
}

void Session::writePng(const Args& args) {
    const bool named = args.size() == 4;
    PxStrongHndl<const PxNode> procNode = _graph->getProcNode(output(args[1], named ? args[2] : std::string()));
    if (!procNode)
        refuse("output of \"" + args[1] + "\" is empty: nothing reaches it");
    const PxImage image = pxRenderImage(procNode);
    pxWritePng(image, args.back());
    _out << "wrote " << image.width << "x" << image.height << " pixels to " << args.back() << "\n";
}

void Session::pixel(const Args& args) {
    const bool named = args.size() == 5;
    PxStrongHndl<const PxNode> procNode = _graph->getProcNode(output(args[1], named ? args[2] : std::string()));
    if (!procNode) {
        _out << args[1] << ": empty output\n";
        return;
    }
    const PxImage image = pxRenderImage(procNode);
    const int x = toInt(args[args.size() - 2], "x"), y = toInt(args.back(), "y");
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
        refuse("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside the " +
               std::to_string(image.width) + "x" + std::to_string(image.height) + " image");
    const float* rgba = image.at(x, y);
    _out << args[1] << " (" << x << ", " << y << ") = " << rgba[0] << " " << rgba[1] << " " << rgba[2] << " " << rgba[3]
         << "\n";
}

} // namespace Krhost
