// Reads the tags and audio properties of every file in the folders (or of
// the files) given, with TagLib's FileRef and nothing else: the program
// that folder_scale_bench --cli and startup_bench time trovix-cli against.
// It links TagLib alone, so its start-up is a TagLib program's own. Prints
// how many files it read.
//
//   taglib_read_bench PATH...
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!std::filesystem::is_directory(argv[i], error)) {
            paths.emplace_back(argv[i]);
            continue;
        }
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
            if (entry.is_regular_file(error)) names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        paths.insert(paths.end(), names.begin(), names.end());
    }
    int read = 0;
    for (const std::string& path : paths) {
        TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
        if (!ref.isNull() && ref.tag() && ref.audioProperties() && !ref.tag()->title().isEmpty() &&
            ref.audioProperties()->lengthInMilliseconds() >= 0)
            ++read;
    }
    std::printf("%d\n", read);
    return read == int(paths.size()) ? 0 : 1;
}
