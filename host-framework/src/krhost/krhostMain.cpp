// SPDX-License-Identifier: Apache-2.0
// krhost: a headless host for tool plug-ins. Loads the .krtool and .krmodule files beside it,
// then runs a script of one command a line (a file, or standard input with "-").

#include "krhostSession.h"

#include <Kr/Ex.h>
#include <Kr/InPackage.h>
#include <Kr/PimUtils.h>

#include <fstream>
#include <iostream>

namespace {

class RunScript : public Kr::ExWrapper::Functor {
public:
    RunScript(int argc, char** argv) : _argc(argc), _argv(argv) {}
    void operator()() override {
        Kr::InInitGuard framework(_argc, _argv);
        if (_argc != 2) {
            std::cerr << "usage: krhost <script file> | -\n" << Krhost::Session::usage();
            status = 2;
            return;
        }
        const std::string scriptName = _argv[1];
        Krhost::Session session(std::cout);
        try {
            session.loadPlugins(Kr::PimUtils::getExecutableDirectory().getText());
            if (scriptName == "-") {
                session.runScript(std::cin, "<stdin>");
            } else {
                std::ifstream script(scriptName);
                if (!script)
                    throw Krhost::KrhostError("cannot read script \"" + scriptName + "\"");
                session.runScript(script, scriptName);
            }
        } catch (const Krhost::KrhostError& error) {
            std::cout.flush();
            std::cerr << "krhost: " << error.what() << "\n";
            status = 1;
        }
    }
    int status = 0;

private:
    int _argc;
    char** _argv;
};

} // namespace

int main(int argc, char** argv) {
    RunScript run(argc, argv);
    Kr::APtr<char> reserve;
    Kr::OPtrRet<Kr::ExBase> failure = Kr::ExWrapper::execute(run, &reserve);
    if (!failure.isNull()) {
        std::cerr << "krhost: " << failure.get()->getMessage() << "\n";
        return 1;
    }
    return run.status;
}
