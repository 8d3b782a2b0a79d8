// SPDX-License-Identifier: Apache-2.0
#pragma once

// The module loader. A file name without a directory part is searched for in, in order:
// the --kr-plugin-path directories, the directory of the running program, then each
// directory of the KR_PLUGIN_PATH environment variable (':'-separated). A path with a
// directory part is used as given.
//
// load() registers the library's packages (their static objects register themselves) and,
// with InInitMgr::InitializeNow, initialises them before it returns; exceptions from
// their init() hooks leave load() unchanged. A file that is not found or cannot be
// opened raises ExModuleLoad naming the file, where it was looked for and why.

#include <Kr/Ex.h>
#include <Kr/InPackage.h>
#include <Kr/KrExport.h>
#include <Kr/OsFilePath.h>

#include <string>
#include <vector>

namespace Kr {

class KR_EXPORT ExModuleLoad : public ExBase {
public:
    explicit ExModuleLoad(std::string text);
    ExBase* clone() const override;
};

class KR_EXPORT PimUtils {
public:
    // Returns true once the library is loaded (and initialised as asked).
    static bool load(const OsFilePath& path, InInitMgr::InitType initType);
    // Terminates the packages the library brought and closes it, so its static objects
    // are destroyed. Returns false when the library was not loaded by load().
    static bool unload(const OsFilePath& path);
    // Where load() would find the file; raises ExModuleLoad when nowhere.
    static OsFilePath locate(const OsFilePath& path);
    // The directories searched for a bare file name, in order.
    static std::vector<std::string> getSearchDirectories();
    // The directory of the running program.
    static OsFilePath getExecutableDirectory();
};

} // namespace Kr
