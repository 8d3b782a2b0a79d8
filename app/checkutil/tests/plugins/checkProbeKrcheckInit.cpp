// SPDX-License-Identifier: Apache-2.0
// A stand-in check for syscheck's tests, built under each check's file name into a
// directory of its own. It prints the command line it was given and, as its third word
// asks, ends with a return code, a framework failure or a standard exception.

#include <Kr/Ex.h>
#include <Kr/In.h>

#include <iostream>
#include <stdexcept>

KR_PACKAGE_TAG(checkProbeKrcheck)

template <> void Kr::InInit<KrInit::checkProbeKrcheck>::init() {
    const std::vector<std::string> args = Kr::InContextAliasMgrBase::getUnboundArgs();
    std::cout << "probe loaded:";
    for (const std::string& arg : args)
        std::cout << " " << arg;
    std::cout << std::endl;
    const std::string word = args.size() == 3 ? args[2] : "";
    if (word == "rc7")
        throw Kr::ExProcessRc(7);
    if (word == "assert")
        Kr::Assertions::throwAssertionFailed("app\\checkutil\\tests\\plugins\\checkProbeKrcheckInit", 26,
                                             "word != \"assert\"");
    if (word == "std")
        throw std::runtime_error("probe failure");
}

template <> Kr::InInit<KrInit::checkProbeKrcheck>::InInit() : InPackageInit("checkProbeKrcheck") {
    registerPackage();
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::checkProbeKrcheck>;
static Kr::InInit<KrInit::checkProbeKrcheck> packageInit;
