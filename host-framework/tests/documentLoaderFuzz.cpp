// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: feeds arbitrary bytes to the document loader, with the Switcher, Notes and
// LUT 1D tools loaded. Besides the sanitizers' checks: a refused document is refused with the
// framework's exception and nothing else, and a document that opens saves to text that opens
// again and saves to the same bytes.

#include <Kr/In.h>
#include <Kr/PiGraph.h>
#include <Kr/PimUtils.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "document round trip broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The framework stays initialised, with the tools loaded, for the whole run.
    static int count = *argc;
    static char** words = *argv;
    static Kr::InInitGuard framework(count, words);
    for (const char* tool : {"libKRswitcher.krtool", "libKRnotes.krtool", "libKRlut1D.krtool"})
        require(Kr::PimUtils::load(Kr::OsFilePath(std::string(KR_BIN_DIR) + "/" + tool), Kr::InInitMgr::InitializeNow),
                "a tool plug-in cannot be loaded");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Kr::RCShdPtr<Kr::PiGraph> graph(new Kr::PiGraph());
    try {
        graph->loadFromText(text, "fuzz.xml");
    } catch (const Kr::ExBase&) {
        require(graph->getNodes().empty(), "a refused document left nodes behind");
        return 0;
    }
    const std::string saved = graph->saveToText();
    Kr::RCShdPtr<Kr::PiGraph> again(new Kr::PiGraph());
    try {
        again->loadFromText(saved, "saved.xml");
    } catch (const Kr::ExBase& error) {
        std::fprintf(stderr, "%s\n", error.getMessage().c_str());
        require(false, "a saved document cannot be opened");
    }
    require(again->saveToText() == saved, "saving an opened document changed it");
    return 0;
}
