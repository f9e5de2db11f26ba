#include "FontFilePages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qarvel::platform {

bool IsFontFileName(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
        return false;
    }
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static constexpr std::array<std::string_view, 9> kFontExtensions = {
        "ttf", "ttc", "otf", "otc", "pfb", "pfa", "woff", "woff2", "dfont"};
    return std::find(kFontExtensions.begin(), kFontExtensions.end(), extension) !=
           kFontExtensions.end();
}

std::size_t ReleaseFontFilePages() {
#if defined(__linux__)
    std::FILE* maps = std::fopen("/proc/self/maps", "re");
    if (maps == nullptr) {
        return 0;
    }
    std::size_t advised = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        // start-end perms offset dev inode path
        unsigned long long start = 0;
        unsigned long long end = 0;
        char perms[8] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%llx-%llx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) < 3 ||
            pathAt <= 0) {
            continue;
        }
        std::string_view path(line + pathAt);
        while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) {
            path.remove_suffix(1);
        }
        // Only private read-only mappings: their pages are the file's bytes,
        // never written here, so mapping them back gives the same bytes.
        if (std::string_view(perms) != "r--p" || path.empty() || path.front() != '/' ||
            !IsFontFileName(path) || end <= start) {
            continue;
        }
        void* at = reinterpret_cast<void*>(static_cast<std::uintptr_t>(start));
        const auto length = static_cast<std::size_t>(end - start);
        if (madvise(at, length, MADV_DONTNEED) == 0) {
            advised += length;
        }
    }
    std::fclose(maps);
    return advised;
#else
    return 0;
#endif
}

} // namespace qarvel::platform
