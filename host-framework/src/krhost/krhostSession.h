// SPDX-License-Identifier: Apache-2.0
#pragma once

// The headless host's command interpreter: a document, open editors, viewers and loaded
// plug-ins, driven by script lines. Commands print to the given stream; a refused command
// raises KrhostError naming what was wrong.

#include <Kr/PiEditor.h>
#include <Kr/PiGraph.h>
#include <Kr/PiViewer.h>

#include <iosfwd>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Krhost {

class KrhostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Session {
public:
    explicit Session(std::ostream& out);
    ~Session();

    // Loads every .krtool then every .krmodule file of a directory, in name order.
    void loadPlugins(const std::string& directory);
    // Runs one script line; blank lines and lines starting with '#' do nothing.
    void run(const std::string& line);
    // Runs a whole script; the first refused line stops it with "<source>:<line>: <why>".
    void runScript(std::istream& script, const std::string& sourceName);

    Kr::PiGraph& getGraph() { return *_graph; }

    // The script reader. White space is the C locale's: blank, tab, line feed, vertical tab,
    // form feed, carriage return; it separates words, and a line holding nothing else is
    // blank. A quoted word keeps its white space; in it \" is a quote, \n a line feed and
    // \x any x. An unclosed quote is refused.
    static bool isWhiteSpace(char c);
    static std::vector<std::string> tokenize(const std::string& line);
    // The words of a script line; none for a blank line or a comment (first word starting '#').
    static std::vector<std::string> readLine(const std::string& line);

    // One command: its name, its usage form, what it does, and how many words it takes
    // (the command's own included).
    struct Command {
        const char* name;
        const char* form;
        const char* note;
        std::size_t minWords;
        std::size_t maxWords;
        void (*run)(Session& session, const std::vector<std::string>& args);
    };
    static const std::vector<Command>& commands();
    // Empty when there is no such command.
    static const Command* findCommand(const std::string& name);
    static std::string usage();

private:
    using Args = std::vector<std::string>;
    void dispatch(const Args& args);
    Kr::RCShdPtr<Kr::PiNode> node(const std::string& name) const;
    Kr::RCShdPtr<const Kr::PiOutput> output(const std::string& nodeName, const std::string& outputName) const;
    Kr::RCShdPtr<Kr::PiInput> input(const std::string& nodeName, const std::string& inputName) const;
    Kr::RCShdPtr<Kr::PiWidget> widget(const std::string& nodeName, const std::string& widgetName) const;
    Kr::UiViewer& viewer(const std::string& name);

    void remove(const std::string& nodeName);
    void open(const std::string& file);
    void connect(const Args& args);
    void disconnect(const Args& args);
    void editor(const Args& args);
    void browser(const Args& args);
    void print(const Args& args);
    void printGraph();
    void printWidget(const Kr::PiWidget& widget, int depth);
    void writePng(const Args& args);
    void pixel(const Args& args);

    std::ostream& _out;
    Kr::RCShdPtr<Kr::PiGraph> _graph;
    std::map<std::string, Kr::RCShdPtr<Kr::PiEditor>> _editors;
    std::map<std::string, std::unique_ptr<Kr::UiViewer>> _viewers;
};

} // namespace Krhost
