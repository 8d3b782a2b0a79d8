// SPDX-License-Identifier: Apache-2.0
#pragma once

// Packages, build information, the command line and the module loader.
#include <Kr/InBuildInfo.h>
#include <Kr/InContextAliasMgrBase.h>
#include <Kr/InPackage.h>
#include <Kr/PimUtils.h>
