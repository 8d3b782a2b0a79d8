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

std::string Session::usage() {
    return "commands (one a line; quote names with blanks: \"Selected Image\"):\n"
           "  plugin <file>                            load a tool or module\n"
           "  create <tool> <node>                     remove <node>\n"
           "  group <name> [open|closed]               boundary <group> <node> <output>\n"
           "  ingroup <node> <group>\n"
           "  connect <source> [<output>] <node> <input>\n"
           "  disconnect <node> <input> [<entry>]      (an entry: that entry is removed)\n"
           "  entry <node> <input>                     add an unconnected entry\n"
           "  set <node> <value> <text>\n"
           "  editor open|close <node>\n"
           "  press <node> <button>                    choose <node> <menu> <index>\n"
           "  type <node> <field> <text>               event <node> <widget> <code>\n"
           "  viewer <viewer> add|remove <node>        key <viewer> <key>\n"
           "  bind <path> <name> <key>                 scheme register|unregister <scheme>\n"
           "  browser <name> go <folder>|pick <entry>|print\n"
           "  undo  redo  save <file>  open <file>\n"
           "  print graph|history|tools|editor <node>|menu <node> <menu>|value <node> <value>\n"
           "  print schematic <node> <layout>\n"
           "  png <node> [<output>] <file>             pixel <node> [<output>] <x> <y>\n"
           "  echo <text>\n";
}

std::vector<std::string> Session::tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
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
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                token += line[i++];
        }
        tokens.push_back(token);
    }
    return tokens;
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
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#')
        return;
    Args args = tokenize(line);
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
    const std::string& command = args[0];
    if (command == "plugin") {
        expectArgs(args, 2, 2, "plugin <file>");
        PimUtils::load(OsFilePath(args[1]), InInitMgr::InitializeNow);
    } else if (command == "create") {
        expectArgs(args, 3, 3, "create <tool> <node>");
        _graph->createNode(args[1], args[2]);
    } else if (command == "remove") {
        expectArgs(args, 2, 2, "remove <node>");
        _editors.erase(args[1]);
        for (auto& [name, shown] : _viewers)
            shown->removeNode(node(args[1]));
        _graph->removeNode(node(args[1]));
    } else if (command == "group") {
        expectArgs(args, 2, 3, "group <name> [open|closed]");
        auto group = _graph->createGroup(args[1]);
        group->setOpen(args.size() == 3 && args[2] == "open");
    } else if (command == "boundary") {
        expectArgs(args, 4, 4, "boundary <group> <node> <output>");
        auto group = node(args[1]).dynamicCast<PiGroupNode>();
        if (!group)
            refuse("\"" + args[1] + "\" is not a group");
        _graph->createBoundary(group, args[2], args[3]);
    } else if (command == "ingroup") {
        expectArgs(args, 3, 3, "ingroup <node> <group>");
        auto group = node(args[2]).dynamicCast<PiGroupNode>();
        if (!group)
            refuse("\"" + args[2] + "\" is not a group");
        _graph->setGroup(node(args[1]), group);
    } else if (command == "connect") {
        connect(args);
    } else if (command == "disconnect") {
        disconnect(args);
    } else if (command == "entry") {
        expectArgs(args, 3, 3, "entry <node> <input>");
        input(args[1], args[2]).cast<PiMultivaluedInput>()->addEntry();
    } else if (command == "set") {
        expectArgs(args, 4, 4, "set <node> <value> <text>");
        RCShdPtr<PiValue> value = node(args[1])->getValue(args[2]);
        if (!value)
            refuse("node \"" + args[1] + "\" has no value \"" + args[2] + "\"");
        value->fromText(args[3]);
    } else if (command == "editor") {
        editor(args);
    } else if (command == "press") {
        expectArgs(args, 3, 3, "press <node> <button>");
        widget(args[1], args[2]).cast<PiButton>()->press();
    } else if (command == "choose") {
        expectArgs(args, 4, 4, "choose <node> <menu> <index>");
        widget(args[1], args[2]).cast<PiMenu>()->choose(toInt(args[3], "menu entry"));
    } else if (command == "type") {
        expectArgs(args, 4, 4, "type <node> <field> <text>");
        widget(args[1], args[2]).cast<PiTextField>()->enter(args[3]);
    } else if (command == "event") {
        expectArgs(args, 4, 4, "event <node> <widget> <code>");
        widget(args[1], args[2])->raiseEvent(toInt(args[3], "event code"));
    } else if (command == "viewer") {
        expectArgs(args, 4, 4, "viewer <viewer> add|remove <node>");
        if (args[2] == "add")
            viewer(args[1]).addNode(node(args[3]));
        else if (args[2] == "remove")
            viewer(args[1]).removeNode(node(args[3]));
        else
            refuse("usage: viewer <viewer> add|remove <node>");
    } else if (command == "key") {
        expectArgs(args, 3, 3, "key <viewer> <key>");
        const bool used = viewer(args[1]).pressKey(args[2]);
        _out << "key " << args[2] << " in " << args[1] << ": " << (used ? "handled" : "not handled") << "\n";
    } else if (command == "bind") {
        expectArgs(args, 4, 4, "bind <path> <name> <key>");
        auto& hotkeys = UiHotkeyRegistry::getInstance();
        hotkeys.bindKey(hotkeys.getEntry(args[1], args[2]), args[3]);
    } else if (command == "scheme") {
        expectArgs(args, 3, 3, "scheme register|unregister <scheme>");
        if (args[1] == "register")
            BrRegistry::getInstance().registerScheme(args[2]);
        else if (args[1] == "unregister")
            BrRegistry::getInstance().unregisterScheme(args[2]);
        else
            refuse("usage: scheme register|unregister <scheme>");
    } else if (command == "browser") {
        browser(args);
    } else if (command == "undo" || command == "redo") {
        expectArgs(args, 1, 1, command);
        if (command == "undo")
            _graph->getCommandStack().undo();
        else
            _graph->getCommandStack().redo();
    } else if (command == "save") {
        expectArgs(args, 2, 2, "save <file>");
        _graph->save(args[1]);
    } else if (command == "open") {
        expectArgs(args, 2, 2, "open <file>");
        _editors.clear();
        for (auto& [name, shown] : _viewers)
            shown->clear();
        _graph->load(args[1]);
    } else if (command == "print") {
        print(args);
    } else if (command == "png") {
        writePng(args);
    } else if (command == "pixel") {
        pixel(args);
    } else if (command == "echo") {
        for (std::size_t i = 1; i < args.size(); ++i)
            _out << (i > 1 ? " " : "") << args[i];
        _out << "\n";
    } else if (command == "help") {
        _out << usage();
    } else {
        refuse("unknown command (\"help\" lists the commands)");
    }
}

void Session::connect(const Args& args) {
    expectArgs(args, 4, 5, "connect <source> [<output>] <node> <input>");
    const bool named = args.size() == 5;
    RCShdPtr<const PiOutput> source = output(args[1], named ? args[2] : std::string());
    input(args[named ? 3 : 2], args[named ? 4 : 3])->connect(source);
}

void Session::disconnect(const Args& args) {
    expectArgs(args, 3, 4, "disconnect <node> <input> [<entry>]");
    RCShdPtr<PiInput> target = input(args[1], args[2]);
    if (args.size() == 4)
        target.cast<PiMultivaluedInput>()->removeEntry(toInt(args[3], "entry"));
    else
        target->disconnect();
}

void Session::editor(const Args& args) {
    expectArgs(args, 3, 3, "editor open|close <node>");
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
    expectArgs(args, 3, 4, "browser <name> go <folder>|pick <entry>|print");
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
    if (args.size() < 2)
        refuse("usage: print graph|history|tools|menu|value|schematic ...");
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
    expectArgs(args, 3, 4, "png <node> [<output>] <file>");
    const bool named = args.size() == 4;
    PxStrongHndl<const PxNode> procNode = _graph->getProcNode(output(args[1], named ? args[2] : std::string()));
    if (!procNode)
        refuse("output of \"" + args[1] + "\" is empty: nothing reaches it");
    const PxImage image = pxRenderImage(procNode);
    pxWritePng(image, args.back());
    _out << "wrote " << image.width << "x" << image.height << " pixels to " << args.back() << "\n";
}

void Session::pixel(const Args& args) {
    expectArgs(args, 4, 5, "pixel <node> [<output>] <x> <y>");
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
