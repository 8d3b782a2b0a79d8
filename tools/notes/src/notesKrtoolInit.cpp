// SPDX-License-Identifier: Apache-2.0
// The Notes tool's package: its build information, then the tool itself, registered when the
// framework initialises the package.

#include "notesTool.h"

#include "libraryBuildInfo.h"

#include <Kr/InPackage.h>

KR_PACKAGE_TAG(notesKrtool)

namespace Kr {

using namespace KrInit;

// The registered tool belongs to the framework; termination has nothing to release.
template <> void InInit<notesKrtool>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new krtools::LibraryBuildInfo("libKrnotesKrtool")));
    NotesTool::registerTool();
}

template <> InInit<notesKrtool>::InInit() : InPackageInit("notesKrtool") {
    registerPackage();
    addDependency(InInit<internalAPI>::getType());
    addDependency(InInit<resmgt>::getType());
    addDependency(InInit<pluginAPI>::getType());
    addDependency(InInit<base>::getType());
}

template const std::type_info* InInit<notesKrtool>::getType();

} // namespace Kr

static Kr::InInit<KrInit::notesKrtool> packageInit;
