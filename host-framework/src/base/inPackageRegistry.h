// SPDX-License-Identifier: Apache-2.0
#pragma once

// Hooks between the package registry and the build-information records, inside libKRbase.

namespace Kr {

class InPackageInit;

namespace InBuildInfoStore {
// Drops the library records registered while the package's init() ran.
void releaseRecordsOf(const InPackageInit& package);
} // namespace InBuildInfoStore

} // namespace Kr
