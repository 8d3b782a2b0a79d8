// SPDX-License-Identifier: Apache-2.0
#pragma once

// Operating-system services.
#include <Kr/OsCacheDescriptors.h>
#include <Kr/OsCpuInfo.h>
#include <Kr/OsCpuid.h>
#include <Kr/OsFilePath.h>
#include <Kr/OsMemoryArch.h>
