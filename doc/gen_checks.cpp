// gen_checks: writes the parts of the manual page and of the README that
// come from the table of checks (see check_docs.h).
//
//   gen_checks REGION            prints the region's text
//   gen_checks --rewrite FILE    prints FILE with its regions written
//                                afresh (FILE.md in markdown, else roff)
//
// doc/update_docs.sh, run by `make docs`, puts the rewritten files in place,
// and the test doc.generated compares them with those in the tree.
#include <cstdio>
#include <string>
#include <string_view>

#include "check_docs.h"

namespace
{

bool readFile(const char *name, std::string *text)
{
    FILE *file = fopen(name, "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        text->append(buffer, got);
    }
    bool ok = ferror(file) == 0;
    return fclose(file) == 0 && ok;
}

int usage()
{
    (void)fputs("usage: gen_checks REGION\n"
                "       gen_checks --rewrite FILE\n",
                stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::string out;
    std::string error;
    if (argc == 2 && argv[1][0] != '-') {
        if (!writeRegion(argv[1], &out, &error)) {
            (void)fprintf(stderr, "gen_checks: %s\n", error.c_str());
            return 1;
        }
    } else if (argc == 3 && std::string_view(argv[1]) == "--rewrite") {
        std::string_view name = argv[2];
        bool markdown =
            name.size() > 3 && name.substr(name.size() - 3) == ".md";
        std::string document;
        if (!readFile(argv[2], &document)) {
            (void)fprintf(stderr, "gen_checks: cannot read %s\n", argv[2]);
            return 1;
        }
        if (!rewriteRegions(markdown ? DocSyntax::markdown : DocSyntax::roff,
                            document, &out, &error)) {
            (void)fprintf(stderr, "gen_checks: %s: %s\n", argv[2],
                          error.c_str());
            return 1;
        }
    } else {
        return usage();
    }
    if (fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
        fflush(stdout) != 0) {
        (void)fputs("gen_checks: failed to write output\n", stderr);
        return 1;
    }
    return 0;
}
