// SPDX-License-Identifier: Apache-2.0
// Writes a well-formed XML file for the XML check's benchmark, the same bytes on every run:
//   xmlBenchGenerate catalog FILE MEGABYTES   a catalogue of items with attributes, references
//                                             (one to an entity of the internal subset),
//                                             multibyte text, CDATA sections, comments and a
//                                             few nesting levels
//   xmlBenchGenerate text FILE MEGABYTES      one element holding that much text
//   xmlBenchGenerate nested FILE LEVELS       that many elements, each inside the one before

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void writeCatalog(FILE* out, long long target) {
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE catalog [\n  <!ENTITY maker \"Corvath &amp; Zantor\">\n]>\n<catalog>\n",
               out);
    unsigned long long seed = 12345;
    long long written = 0;
    std::string item;
    for (long long i = 0; written < target; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const unsigned value = static_cast<unsigned>(seed >> 40);
        item = "  <item id=\"" + std::to_string(i) + "\" kind=\"node\" label=\"Item &amp; n&#xE9;" + std::to_string(i) +
               "\">\n    <name>Element number " + std::to_string(i) +
               " caf\xC3\xA9 &lt;ok&gt; by &maker;</name>\n    <value unit=\"px\">" + std::to_string(value) +
               "</value>\n    <note><![CDATA[raw <text> " + std::to_string(value % 977) +
               "]]></note>\n    <!-- comment " + std::to_string(i) +
               " -->\n    <group><flags a=\"1\" b='2'/><flags a=\"3\" b='4'/></group>\n  </item>\n";
        std::fwrite(item.data(), 1, item.size(), out);
        written += static_cast<long long>(item.size());
    }
    std::fputs("</catalog>\n", out);
}

void writeText(FILE* out, long long target) {
    std::fputs("<text>", out);
    std::string line;
    for (int i = 0; i < 1000; ++i) {
        line += "word caf\xC3\xA9 ";
    }
    line += "\n";
    for (long long written = 0; written < target; written += static_cast<long long>(line.size())) {
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fputs("</text>\n", out);
}

void writeNested(FILE* out, long long levels) {
    for (long long i = 0; i < levels; ++i) {
        std::fputs("<e>", out);
    }
    for (long long i = 0; i < levels; ++i) {
        std::fputs("</e>", out);
    }
    std::fputs("\n", out);
}

} // namespace

int main(int argc, char** argv) {
    const bool known = argc == 4 && (std::strcmp(argv[1], "catalog") == 0 || std::strcmp(argv[1], "text") == 0 ||
                                     std::strcmp(argv[1], "nested") == 0);
    if (!known) {
        std::fprintf(stderr, "usage: xmlBenchGenerate catalog|text FILE MEGABYTES, or nested FILE LEVELS\n");
        return 2;
    }
    FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const long long size = std::atoll(argv[3]);
    if (std::strcmp(argv[1], "catalog") == 0) {
        writeCatalog(out, size * 1024 * 1024);
    } else if (std::strcmp(argv[1], "text") == 0) {
        writeText(out, size * 1024 * 1024);
    } else {
        writeNested(out, size);
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
