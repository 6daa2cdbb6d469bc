#pragma once

#include <string_view>

namespace quillery {

// Matches a whole entry name against a pattern with '*' (any run of characters, '/'
// included) and '?' (exactly one character). Both are UTF-8; '?' stands for one code point.
// Without regard to case, letters are compared by their simple upper-case form.
bool MatchNamePattern(std::string_view pattern, std::string_view name, bool ignoreCase);

}  // namespace quillery
