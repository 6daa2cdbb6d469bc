#include "archive/EntryPath.h"

namespace quillery {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool StartsWithDriveLetter(std::string_view name) {
    if (name.size() < 2 || name[1] != ':') {
        return false;
    }
    const char c = name[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::vector<std::string> SafeEntryComponents(std::string_view entryName) {
    if (StartsWithDriveLetter(entryName)) {
        entryName.remove_prefix(2);
    }
    std::vector<std::string> components;
    std::size_t at = 0;
    while (at < entryName.size()) {
        std::size_t end = at;
        while (end < entryName.size() && !IsSeparator(entryName[end])) {
            ++end;
        }
        const std::string_view part = entryName.substr(at, end - at);
        if (!part.empty() && part != "." && part != "..") {
            components.emplace_back(part);
        }
        at = end + 1;
    }
    return components;
}

}  // namespace quillery
