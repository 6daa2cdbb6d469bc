#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillery {

// The safe relative components of an entry name: '\' and '/' separate, a drive letter
// ("C:") at the start, empty, "." and ".." components are dropped. An empty result means
// the entry has no usable name.
std::vector<std::string> SafeEntryComponents(std::string_view entryName);

}  // namespace quillery
