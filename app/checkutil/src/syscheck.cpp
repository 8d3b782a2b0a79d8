// SPDX-License-Identifier: Apache-2.0
// syscheck: checks whether this workstation is fit to run the host application. The
// subcommand names a check plug-in, libKR<subcommand>.krcheck; loading it runs the check,
// which prints its report. syscheck turns the outcome into the exit code.

#include <Kr/Ex.h>
#include <Kr/In.h>
#include <Kr/Os.h>

#include "libraryBuildInfo.h"

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

KR_PACKAGE_TAG(syscheck)

template <> Kr::InInit<KrInit::syscheck>::InInit() : InPackageInit("syscheck") {
    registerPackage();
    addDependency(InInit<KrInit::framework>::getType());
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::syscheck>;

namespace {

Kr::InInit<KrInit::syscheck> packageInit;

struct Subcommand {
    std::string name;
    std::size_t minArgs;
    std::size_t maxArgs;
};

// Checked in this order; argument counts include the program name.
const std::vector<Subcommand> subcommands = {
    {"cpu", 2, 3},
    {"graphics", 2, 2},
    {"xml", 3, 3},
};

bool isValidCommandLine(const std::vector<const std::string*>& args) {
    const std::size_t n = args.size();
    if (n != 2 && n != 3)
        return false;
    for (const Subcommand& subcommand : subcommands) {
        if (*args[1] == subcommand.name && n >= subcommand.minArgs && n <= subcommand.maxArgs)
            return true;
    }
    return false;
}

void printUsage() {
    std::cout << "usage: syscheck {cpu, graphics, xml}\n"
              << "usage: syscheck cpu [ full ]\n"
              << "usage: syscheck graphics\n"
              << "usage: syscheck xml <filename>\n";
    std::cout.flush();
}

class ExecuteMain : public Kr::ExWrapper::Functor {
public:
    ExecuteMain(int argc, char** argv, int rc) : _argc(argc), _argv(argv), _rc(rc) {}

    int getRc() const { return _rc; }

    void operator()() override {
        Kr::InBuildInfoMgr::registerAppInfo(
            Kr::OPtr<Kr::InBuildInfo>(new krtools::AppBuildInfo("Corvath Zantor System Check Utility")));
        Kr::InInitGuard guard(_argc, _argv);

        const std::vector<std::string> unbound = Kr::InContextAliasMgrBase::getUnboundArgs();
        std::vector<const std::string*> args;
        for (const std::string& arg : unbound)
            args.push_back(&arg);

        if (!isValidCommandLine(args)) {
            printUsage();
            _rc = 2;
            return;
        }
        try {
            std::ostringstream fileName;
            fileName << "libKR" << *args[1] << ".krcheck";
            Kr::OsFilePath path(fileName.str());
            Kr::PimUtils::load(path, Kr::InInitMgr::InitializeNow);
            _rc = 0;
        } catch (const Kr::ExProcessRc& ex) {
            _rc = ex.getReturnCode();
        } catch (const Kr::ExBase& ex) {
            // A check that could not be loaded or failed must not pass silently; standard
            // output keeps only what the check printed.
            std::cout.flush();
            std::cerr << "syscheck: " << ex.getMessage() << std::endl;
            _rc = 4;
        }
    }

private:
    int _argc;
    char** _argv;
    int _rc;
};

} // namespace

int main(int argc, char** argv) {
    ExecuteMain executeMain(argc, argv, 3);
    Kr::APtr<char> reserve;
    Kr::OPtr<Kr::ExBase> escaped(Kr::ExWrapper::execute(executeMain, &reserve));
    reserve.reset();
    if (!escaped.isNull()) {
        std::cout << "Exception encountered: " << escaped->getMessage() << "\n";
        std::cout.flush();
        // Ends here: static destructors and exit handlers of a process in this state
        // must not run.
        ::_exit(executeMain.getRc());
    }
    return executeMain.getRc();
}
