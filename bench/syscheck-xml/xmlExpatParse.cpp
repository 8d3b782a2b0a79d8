// SPDX-License-Identifier: Apache-2.0
// The benchmark's baseline: expat parsing a file with no handlers, in 64 KiB reads.
//   xmlExpatParse FILE    (exit 0 when the file is well-formed)

#include <expat.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xmlExpatParse FILE\n");
        return 2;
    }
    FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    static char buffer[64 * 1024];
    bool ok = true;
    for (bool done = false; ok && !done;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, in);
        done = n < sizeof buffer;
        ok = XML_Parse(parser, buffer, static_cast<int>(n), done) != XML_STATUS_ERROR;
    }
    if (!ok) {
        std::fprintf(stderr, "%s:%lu: %s\n", argv[1], XML_GetCurrentLineNumber(parser),
                     XML_ErrorString(XML_GetErrorCode(parser)));
    }
    XML_ParserFree(parser);
    std::fclose(in);
    return ok ? 0 : 1;
}
