// SPDX-License-Identifier: Apache-2.0
#pragma once

// Everything is built with hidden visibility; KR_EXPORT marks the classes and functions
// that other libraries, plug-ins and programs bind to. One registry of packages exists
// per process only because the framework is a shared library that exports it.
#define KR_EXPORT __attribute__((visibility("default")))
