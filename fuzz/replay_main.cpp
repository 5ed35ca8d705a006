// Runs a fuzz target over the files named on the command line (each file,
// or each file in a folder named) without libFuzzer, which only clang has:
// every build compiles the targets, and the tests replay their seeds and
// any crash a fuzzing run saved.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc,
                                                          char ***argv);

namespace
{

// Runs the target on the content of `path`; false when it cannot be read.
bool replay(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::vector<uint8_t> data;
    for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
        data.push_back(static_cast<uint8_t>(c));
    }
    bool read = ferror(file) == 0;
    fclose(file);
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return read;
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    size_t count = 0;
    for (int k = 1; k < argc; k++) {
        struct stat status = {};
        if (stat(argv[k], &status) != 0) {
            fprintf(stderr, "cannot read %s\n", argv[k]);
            return 1;
        }
        std::vector<std::string> paths;
        if (S_ISDIR(status.st_mode)) {
            DIR *folder = opendir(argv[k]);
            for (dirent *entry = folder != nullptr ? readdir(folder) : nullptr;
                 entry != nullptr; entry = readdir(folder)) {
                if (entry->d_name[0] != '.') {
                    paths.push_back(std::string(argv[k]) + "/" + entry->d_name);
                }
            }
            if (folder != nullptr) {
                closedir(folder);
            }
        } else {
            paths.emplace_back(argv[k]);
        }
        for (const std::string &path : paths) {
            if (!replay(path)) {
                fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            count++;
        }
    }
    fprintf(stderr, "replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
