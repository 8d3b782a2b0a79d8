// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/InBuildInfo.h>
#include <Kr/InContextAliasMgrBase.h>
#include <Kr/InPackage.h>

#include <iostream>

namespace Kr {

namespace {

int guardDepth = 0;

} // namespace

InInitGuard::InInitGuard(int& argc, char**& argv) : _outermost(guardDepth == 0) {
    if (_outermost) {
        bool listBuildInfo = InContextAliasMgrBase::takeFrameworkOptions(argc, argv);
        if (listBuildInfo)
            InBuildInfoMgr::printAll(std::cout);
        try {
            InInitMgr::getInstance().initializeAll();
        } catch (...) {
            // No guard will exist to shut down what did start.
            try {
                InInitMgr::getInstance().terminateAll();
            } catch (const ExBase&) {
            }
            throw;
        }
    }
    ++guardDepth;
}

InInitGuard::~InInitGuard() {
    --guardDepth;
    if (!_outermost)
        return;
    try {
        InInitMgr::getInstance().terminateAll();
    } catch (const ExBase& ex) {
        // A destructor cannot raise; the shutdown carries on and says what failed.
        std::cerr << ex.getMessage() << std::endl;
    }
}

} // namespace Kr
