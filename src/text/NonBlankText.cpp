#include "text/NonBlankText.h"

namespace quillery {

void NonBlankText::feed(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && headLength_ < 3) {
        head_[headLength_++] = p[i++];
        if (headLength_ == 3) {
            const bool bom = head_[0] == 0xEF && head_[1] == 0xBB && head_[2] == 0xBF;
            if (!bom && (head_[0] != ' ' || head_[1] != ' ' || head_[2] != ' ')) {
                nonBlank_ = true;
            }
        }
    }
    for (; i < n && !nonBlank_; ++i) {
        if (p[i] != ' ') {
            nonBlank_ = true;
        }
    }
}

void NonBlankText::finish() {
    if (headLength_ < 3) {
        for (std::size_t i = 0; i < headLength_; ++i) {
            if (head_[i] != ' ') {
                nonBlank_ = true;
            }
        }
    }
}

}  // namespace quillery
