// SPDX-License-Identifier: Apache-2.0
// The LUT 1D user-interface module's package: its build information, then the editor factory
// handed to the LUT 1D tool, withdrawn again when the module terminates so that the tool holds
// no pointer into an unloaded module.

#include "lut1DInterface.h"
#include "lut1DUi.h"

#include "libraryBuildInfo.h"

#include <Kr/InPackage.h>

KR_PACKAGE_TAG(lut1DUiKrmodule)

namespace Kr {

using namespace KrInit;

template <> void InInit<lut1DUiKrmodule>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new krtools::LibraryBuildInfo("libKrlut1DUiKrmodule")));
    Lut1DInterface::setUiFactory(createLut1DUi);
}

template <> void InInit<lut1DUiKrmodule>::term() {
    Lut1DInterface::setUiFactory(nullptr);
}

template <> InInit<lut1DUiKrmodule>::InInit() : InPackageInit("lut1DUiKrmodule") {
    registerPackage();
    addDependency(InInit<lut1DKrtool>::getType());
    addDependency(InInit<appUi>::getType());
    addDependency(InInit<ui>::getType());
    addDependency(InInit<internalAPI>::getType());
    addDependency(InInit<primitives>::getType());
    addDependency(InInit<resmgt>::getType());
    addDependency(InInit<pluginAPI>::getType());
    addDependency(InInit<base>::getType());
}

template const std::type_info* InInit<lut1DUiKrmodule>::getType();

} // namespace Kr

static Kr::InInit<KrInit::lut1DUiKrmodule> packageInit;
