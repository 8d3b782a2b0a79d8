#pragma once

// Operating-system services.
#include <Kr/OsCpuInfo.h>
#include <Kr/OsFilePath.h>
#include <Kr/OsMemoryArch.h>
