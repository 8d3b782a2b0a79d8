// SPDX-License-Identifier: Apache-2.0
// A check plug-in built against the installed framework: prints the command line syscheck passed on.
#include <Kr/In.h>

#include <iostream>

KR_PACKAGE_TAG(helloKrcheck)

template <> void Kr::InInit<KrInit::helloKrcheck>::init() {
    std::cout << "hello from an installed framework:";
    for (const std::string& arg : Kr::InContextAliasMgrBase::getUnboundArgs())
        std::cout << " " << arg;
    std::cout << std::endl;
}

template <> Kr::InInit<KrInit::helloKrcheck>::InInit() : InPackageInit("helloKrcheck") {
    registerPackage();
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::helloKrcheck>;
static Kr::InInit<KrInit::helloKrcheck> packageInit;
