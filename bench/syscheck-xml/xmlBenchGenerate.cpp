// Writes a well-formed XML file of about the asked size for the XML check's benchmark:
// a catalogue of items with attributes, references, multibyte text, CDATA sections,
// comments and a few nesting levels, the same bytes on every run.
//   xmlBenchGenerate FILE MEGABYTES

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: xmlBenchGenerate FILE MEGABYTES\n");
        return 2;
    }
    const long long target = std::atoll(argv[2]) * 1024 * 1024;
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE catalog>\n<catalog>\n", out);
    unsigned long long seed = 12345;
    long long written = 0;
    std::string item;
    for (long long i = 0; written < target; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const unsigned value = static_cast<unsigned>(seed >> 40);
        item = "  <item id=\"" + std::to_string(i) + "\" kind=\"node\" label=\"Item &amp; n&#xE9;" + std::to_string(i) +
               "\">\n    <name>Element number " + std::to_string(i) +
               " caf\xC3\xA9 &lt;ok&gt;</name>\n    <value unit=\"px\">" + std::to_string(value) +
               "</value>\n    <note><![CDATA[raw <text> " + std::to_string(value % 977) +
               "]]></note>\n    <!-- comment " + std::to_string(i) +
               " -->\n    <group><flags a=\"1\" b='2'/><flags a=\"3\" b='4'/></group>\n  </item>\n";
        std::fwrite(item.data(), 1, item.size(), out);
        written += static_cast<long long>(item.size());
    }
    std::fputs("</catalog>\n", out);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
