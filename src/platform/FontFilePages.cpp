#include "FontFilePages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
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
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0) {
        return 0;
    }
    std::string text;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = read(maps, buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    close(maps);
    std::size_t advised = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        // start-end perms offset dev inode path
        const std::size_t slash = line.find('/');
        if (slash == std::string_view::npos || !IsFontFileName(line.substr(slash))) {
            continue;
        }
        unsigned long long start = 0;
        unsigned long long stop = 0;
        char perms[8] = {};
        const std::string head(line.substr(0, slash));
        if (std::sscanf(head.c_str(), "%llx-%llx %7s", &start, &stop, perms) != 3 ||
            stop <= start) {
            continue;
        }
        // Only private read-only mappings: their pages are the file's bytes,
        // never written here, so mapping them back gives the same bytes.
        if (std::string_view(perms) != "r--p") {
            continue;
        }
        void* at = reinterpret_cast<void*>(static_cast<std::uintptr_t>(start));
        const auto length = static_cast<std::size_t>(stop - start);
        if (madvise(at, length, MADV_DONTNEED) == 0) {
            advised += length;
        }
    }
    return advised;
#else
    return 0;
#endif
}

} // namespace qarvel::platform
