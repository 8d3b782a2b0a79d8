// SPDX-License-Identifier: Apache-2.0
// The Switcher user-interface module's package: its build information, then the Switcher's
// editor and viewer-handler factories, stored in the tool while the module is loaded.

#include "switcherEventHandler.h"
#include "switcherTool.h"
#include "switcherUi.h"

#include "libraryBuildInfo.h"

#include <Kr/InPackage.h>

KR_PACKAGE_TAG(switcherUiKrmodule)

// The Switcher's package type comes from the tool library's export, not from a copy made here.
extern template const std::type_info* Kr::InInit<KrInit::switcherKrtool>::getType();

template <> void Kr::InInit<KrInit::switcherUiKrmodule>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new krtools::LibraryBuildInfo("libKrswitcherUiKrmodule")));
    SwitcherController::registerUiFactory(&createSwitcherUi);
    SwitcherController::registerEvFactory(&createSwitcherEventHandler);
}

// After this, no slot of the tool points into this module, which may then be unloaded.
template <> void Kr::InInit<KrInit::switcherUiKrmodule>::term() {
    SwitcherController::unregisterEvFactory(&createSwitcherEventHandler);
    SwitcherController::unregisterUiFactory(&createSwitcherUi);
}

template <> Kr::InInit<KrInit::switcherUiKrmodule>::InInit() : InPackageInit("switcherUiKrmodule") {
    registerPackage();
    addDependency(InInit<KrInit::switcherKrtool>::getType());
    addDependency(InInit<KrInit::ui>::getType());
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::switcherUiKrmodule>;
static Kr::InInit<KrInit::switcherUiKrmodule> packageInit;
