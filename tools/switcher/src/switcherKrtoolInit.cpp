// SPDX-License-Identifier: Apache-2.0
// The Switcher tool's package: its build information, then the tool itself, registered when
// the framework initialises the package.

#include "switcherTool.h"
#include "switcherToolProtocol.h"

#include "libraryBuildInfo.h"

#include <Kr/InPackage.h>
#include <Kr/PiToolProtocol.h>

template <> void Kr::InInit<KrInit::switcherKrtool>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new krtools::LibraryBuildInfo("libKrswitcherKrtool")));
    PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(createSwitcherToolProtocol()));
}

template <> Kr::InInit<KrInit::switcherKrtool>::InInit() : InPackageInit("switcherKrtool") {
    registerPackage();
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

// The package type is exported for the modules that depend on this package.
template const std::type_info* Kr::InInit<KrInit::switcherKrtool>::getType();
static Kr::InInit<KrInit::switcherKrtool> packageInit;
