// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Notes tool as the host meets it: libKRnotes.krtool loaded by file name through the
// module loader, which registers and initialises its package. The tests do not link it.

#include <Kr/In.h>
#include <Kr/PiImageModifier.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PimUtils.h>

#include <string>

namespace NotesTest {

inline const std::string toolFile = std::string(KR_BIN_DIR) + "/libKRnotes.krtool";

// Loads the plug-in (once per process) and returns the tool it registered.
inline Kr::PiToolProtocol& loadNotesTool() {
    Kr::PimUtils::load(Kr::OsFilePath(toolFile), Kr::InInitMgr::InitializeNow);
    Kr::PiToolProtocol* tool = Kr::PiToolRegistry::getInstance().findTool("Notes");
    if (!tool)
        throw std::runtime_error("loading " + toolFile + " registered no tool \"Notes\"");
    return *tool;
}

// A new Notes controller, not attached to any node.
inline Kr::OPtr<Kr::PiNodeController> createController() {
    return Kr::OPtr<Kr::PiNodeController>(loadNotesTool().createController());
}

inline Kr::PiImageModifier& asModifier(Kr::PiNodeController* controller) {
    return dynamic_cast<Kr::PiImageModifier&>(*controller);
}

} // namespace NotesTest
