// Writes the logic tester's libraries (TTL74.LIB, CMOS40.LIB, CMOS45.LIB) from
// the function tables, and ICLIB.TXT: the types in each library and the ones
// whose vectors cannot tell them apart.
#include "iclib/LogicTypes.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

using namespace pontvex::iclib;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_iclib <output folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    try {
        std::ofstream report(dir + "/ICLIB.TXT");
        for (Series s : {Series::Ttl74, Series::Cmos40, Series::Cmos45}) {
            const auto bytes = buildLibrary(s);
            std::ofstream out(dir + "/" + seriesLibraryName(s), std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "make_iclib: cannot write %s\n", seriesLibraryName(s));
                return 1;
            }
            report << seriesLibraryName(s) << " (" << bytes.size() << " bytes)\n";
            for (const LogicType& t : logicTypes()) {
                if (t.series != s)
                    continue;
                report << "  " << t.name << "  " << t.pins << " pins, " << chipVectors(t).size()
                       << " vectors";
                for (const std::string& same : t.sameAs)
                    report << ", passes as " << same;
                report << "\n";
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_iclib: %s\n", e.what());
        return 1;
    }
    return 0;
}
