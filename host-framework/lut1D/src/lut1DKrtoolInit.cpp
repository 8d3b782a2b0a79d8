// SPDX-License-Identifier: Apache-2.0
// The LUT 1D tool's package: its build information, then the tool itself, registered when the
// framework initialises the package.

#include "lut1DInterface.h"
#include "lut1DTool.h"

#include "libraryBuildInfo.h"

#include <Kr/InPackage.h>

// The registered tool belongs to the framework; termination has nothing to release.
template <> void Kr::InInit<KrInit::lut1DKrtool>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new krtools::LibraryBuildInfo("libKrlut1DKrtool")));
    Lut1DTool::registerTool();
}

template <> Kr::InInit<KrInit::lut1DKrtool>::InInit() : InPackageInit("lut1DKrtool") {
    registerPackage();
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

// The package type is exported for the module that depends on this package.
template const std::type_info* Kr::InInit<KrInit::lut1DKrtool>::getType();
static Kr::InInit<KrInit::lut1DKrtool> packageInit;
