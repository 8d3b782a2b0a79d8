// SPDX-License-Identifier: Apache-2.0
// The framework's own packages. Every library of the framework is represented here, so
// that programs and plug-ins can depend on any of them whatever the split into shared
// libraries; their start-up is done by the services themselves on first use.

#include <Kr/InPackage.h>

#define KR_FRAMEWORK_PACKAGE(tag)                                                                                      \
    template <> Kr::InInit<KrInit::tag>::InInit() : InPackageInit(#tag) {                                              \
        registerPackage();                                                                                             \
    }                                                                                                                  \
    template class Kr::InInit<KrInit::tag>;                                                                            \
    static Kr::InInit<KrInit::tag> tag##PackageInit;

KR_FRAMEWORK_PACKAGE(base)
KR_FRAMEWORK_PACKAGE(resmgt)
KR_FRAMEWORK_PACKAGE(framework)
KR_FRAMEWORK_PACKAGE(gfx)
KR_FRAMEWORK_PACKAGE(pluginAPI)
KR_FRAMEWORK_PACKAGE(internalAPI)
KR_FRAMEWORK_PACKAGE(primitives)
KR_FRAMEWORK_PACKAGE(ui)
KR_FRAMEWORK_PACKAGE(appUi)
KR_FRAMEWORK_PACKAGE(datamgt)
