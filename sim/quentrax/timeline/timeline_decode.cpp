// Decodes a key timeline of the virtual QUENTRAX: the text, the measured speed and one line
// per character with its timing.
//
//   timeline_decode [--wabun] [--wpm=N] [--text] FILE   ("-" reads standard input)
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "KeyTimeline.h"
#include "MorseDecoder.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: timeline_decode [--wabun] [--wpm=N] [--text] FILE\n"
                 "  --wabun  read kana (the Wabun table first)\n"
                 "  --wpm=N  the keyer speed when known, instead of measuring it\n"
                 "  --text   print the text only\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    omvar::sim::DecodeOptions options;
    bool text_only = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--wabun") {
            options.wabun = true;
        } else if (arg == "--text") {
            text_only = true;
        } else if (arg.rfind("--wpm=", 0) == 0) {
            const double wpm = std::atof(std::string(arg.substr(6)).c_str());
            if (wpm <= 0) {
                return usage();
            }
            options.unit_ms = 1200.0 / wpm;
        } else if (file.empty() && (arg == "-" || arg.rfind("--", 0) != 0)) {
            file = arg;
        } else {
            return usage();
        }
    }
    if (file.empty()) {
        return usage();
    }
    try {
        std::ifstream stream;
        if (file != "-") {
            stream.open(file);
            if (!stream) {
                std::fprintf(stderr, "timeline_decode: cannot read %s\n", file.c_str());
                return 1;
            }
        }
        const auto edges = omvar::sim::read_timeline(file == "-" ? std::cin : stream);
        const auto decoded = omvar::sim::decode_timeline(edges, options);
        if (text_only) {
            std::printf("%s\n", decoded.text.c_str());
            return 0;
        }
        std::printf("text: %s\n", decoded.text.c_str());
        std::printf("speed: %.1f WPM (unit %.1f ms)\n", decoded.wpm, decoded.unit_ms);
        std::printf("%12s %12s  %-8s %s\n", "start_ms", "end_ms", "pattern", "text");
        for (const auto& character : decoded.characters) {
            std::printf("%12.3f %12.3f  %-8s %s\n", character.start_ms, character.end_ms,
                        character.pattern.c_str(), character.text.c_str());
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "timeline_decode: %s\n", error.what());
        return 1;
    }
}
