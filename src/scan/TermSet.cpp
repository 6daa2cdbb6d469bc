#include "scan/TermSet.h"

#include "scan/ByteSearch.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <deque>
#include <string>
#include <type_traits>

namespace quillery {

namespace {

template <class T>
T LoadUnaligned(const void* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

template <class CharT>
TermSet<CharT>::TermSet(const std::vector<std::basic_string<CharT>>& terms) {
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (!terms[i].empty()) {
            order.push_back(static_cast<std::uint32_t>(i));
        }
    }
    std::sort(order.begin(), order.end(),
              [&terms](std::uint32_t a, std::uint32_t b) { return terms[a] < terms[b]; });

    for (const std::uint32_t i : order) {
        const std::basic_string<CharT>& term = terms[i];
        if (term.size() < kAnchor) {
            addAnchor(static_cast<int>(term.size()), term.data(), 0);
            continue;
        }
        std::size_t best = 0;
        int bestScore = 0;
        for (std::size_t at = 0; at + kAnchor <= term.size(); ++at) {
            int score = 0;
            for (int k = 0; k < kAnchor; ++k) {
                score += Commonness(static_cast<char32_t>(static_cast<std::make_unsigned_t<CharT>>(
                    term[at + static_cast<std::size_t>(k)])));
            }
            if (at == 0 || score < bestScore) {
                best = at;
                bestScore = score;
            }
        }
        addAnchor(kAnchor, term.data() + best, static_cast<std::uint32_t>(best));
    }

    // The trie, breadth first: each node covers the sorted terms that share its path. The
    // terms that end at a node sort before the longer ones, and the children come out in
    // the order of their units.
    struct Pending {
        std::uint32_t node;
        std::size_t begin, end, depth;
    };
    std::size_t units = 1;
    for (const std::uint32_t i : order) {
        units += terms[i].size();
    }
    nodes_.reserve(units);
    edgeUnits_.reserve(units);
    edgeTargets_.reserve(units);
    nodes_.emplace_back();
    std::deque<Pending> queue{{0, 0, order.size(), 0}};
    while (!queue.empty()) {
        const Pending p = queue.front();
        queue.pop_front();
        std::size_t i = p.begin;
        nodes_[p.node].termsBegin = static_cast<std::uint32_t>(termIndices_.size());
        for (; i < p.end && terms[order[i]].size() == p.depth; ++i) {
            termIndices_.push_back(order[i]);
        }
        nodes_[p.node].termsEnd = static_cast<std::uint32_t>(termIndices_.size());
        nodes_[p.node].edgesBegin = static_cast<std::uint32_t>(edgeUnits_.size());
        while (i < p.end) {
            const CharT unit = terms[order[i]][p.depth];
            std::size_t j = i + 1;
            while (j < p.end && terms[order[j]][p.depth] == unit) {
                ++j;
            }
            // follow() searches a node's edges by binary search: they must ascend.
            assert(edgeUnits_.size() == nodes_[p.node].edgesBegin ||
                   std::char_traits<CharT>::lt(edgeUnits_.back(), unit));
            const auto child = static_cast<std::uint32_t>(nodes_.size());
            nodes_.emplace_back();
            edgeUnits_.push_back(unit);
            edgeTargets_.push_back(child);
            queue.push_back({child, i, j, p.depth + 1});
            i = j;
        }
        nodes_[p.node].edgesEnd = static_cast<std::uint32_t>(edgeUnits_.size());
    }
}

template <class CharT>
inline std::uint64_t TermSet<CharT>::Key(const CharT* at, int length) {
    if (length == kAnchor) {
        if constexpr (sizeof(CharT) == 1) {
            return LoadUnaligned<std::uint32_t>(at);
        } else {
            return LoadUnaligned<std::uint64_t>(at);
        }
    }
    std::uint64_t key = 0;
    for (int i = 0; i < length; ++i) {
        key = (key << 16) | static_cast<std::make_unsigned_t<CharT>>(at[i]);
    }
    return key;
}

template <class CharT>
inline std::uint32_t TermSet<CharT>::PairOf(const CharT* at) {
    if constexpr (sizeof(CharT) == 1) {
        return LoadUnaligned<std::uint16_t>(at);
    } else {
        return static_cast<std::uint16_t>(at[0] * 31u + at[1]);
    }
}

template <class CharT>
inline std::uint32_t TermSet<CharT>::Hash(std::uint64_t key) {
    return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - kHashBits));
}

template <class CharT>
void TermSet<CharT>::addAnchor(int length, const CharT* at, std::uint32_t offset) {
    assert(length >= 1 && length <= kAnchor);
    std::vector<std::uint64_t>& filter = filters_[length];
    if (filter.empty()) {
        filter.assign((std::size_t{1} << kHashBits) / 64, 0);
    }
    const std::uint64_t key = Key(at, length);
    const std::uint32_t hash = Hash(key);
    filter[hash / 64] |= std::uint64_t{1} << (hash % 64);
    if (length == kAnchor) {
        if (anchorPairs_.empty()) {
            anchorPairs_.assign(65536 / 64, 0);
        }
        // Every pair of the anchor, so that looking at every third position finds it.
        for (int k = 0; k + 1 < kAnchor; ++k) {
            const std::uint32_t pair = PairOf(at + k);
            anchorPairs_[pair / 64] |= std::uint64_t{1} << (pair % 64);
        }
    }
    std::vector<std::uint32_t>& offsets = offsets_[length][key];
    if (std::find(offsets.begin(), offsets.end(), offset) == offsets.end()) {
        offsets.push_back(offset);
    }
}

template <class CharT>
void TermSet<CharT>::follow(const CharT* text, std::size_t at, std::size_t size,
                            std::vector<char>& found) const {
    const Node* node = &nodes_[0];
    for (std::size_t i = at; i < size; ++i) {
        const CharT unit = text[i];
        const CharT* begin = edgeUnits_.data() + node->edgesBegin;
        const CharT* end = edgeUnits_.data() + node->edgesEnd;
        const CharT* edge = end - begin > 8
                                ? std::lower_bound(begin, end, unit,
                                                   [](CharT a, CharT b) {
                                                       return std::char_traits<CharT>::lt(a, b);
                                                   })
                                : std::find(begin, end, unit);
        if (edge == end || *edge != unit) {
            return;
        }
        node = &nodes_[edgeTargets_[static_cast<std::size_t>(edge - edgeUnits_.data())]];
        for (std::uint32_t t = node->termsBegin; t < node->termsEnd; ++t) {
            assert(termIndices_[t] < found.size());
            found[termIndices_[t]] = 1;
        }
    }
}

template <class CharT>
void TermSet<CharT>::tryAnchor(const CharT* text, std::size_t at, std::size_t size, int length,
                               std::vector<char>& found) const {
    const std::uint64_t key = Key(text + at, length);
    const std::uint32_t hash = Hash(key);
    const std::uint64_t* filter = filters_[length].data();
    if (((filter[hash / 64] >> (hash % 64)) & 1) == 0) {
        return;
    }
    const auto anchor = offsets_[length].find(key);
    if (anchor == offsets_[length].end()) {
        return;
    }
    for (const std::uint32_t offset : anchor->second) {
        if (offset <= at) {
            follow(text, at - offset, size, found);
        }
    }
}

template <class CharT>
template <int Length>
void TermSet<CharT>::scanAnchors(const CharT* text, std::size_t size,
                                 std::vector<char>& found) const {
    if (filters_[Length].empty() || size < static_cast<std::size_t>(Length)) {
        return;
    }
    const std::size_t last = size - static_cast<std::size_t>(Length);
    if constexpr (Length != kAnchor) {
        for (std::size_t at = 0; at <= last; ++at) {
            tryAnchor(text, at, size, Length, found);
        }
    } else {
        // An anchor at p holds the pairs at p, p + 1 and p + 2, and one of these positions is
        // a multiple of three: only those are looked at, and where their pair is one of an
        // anchor's, the up to three anchor positions that cover it are tried.
        constexpr std::size_t kStride = kAnchor - 1;
        const std::uint64_t* pairs = anchorPairs_.data();
        for (std::size_t q = 0; q + 1 < size; q += kStride) {
            const std::uint32_t pair = PairOf(text + q);
            if (((pairs[pair / 64] >> (pair % 64)) & 1) == 0) {
                continue;
            }
            for (std::size_t k = 0; k < kStride && k <= q; ++k) {
                if (q - k <= last) {
                    tryAnchor(text, q - k, size, Length, found);
                }
            }
        }
    }
}

template <class CharT>
void TermSet<CharT>::scan(const CharT* text, std::size_t size, std::vector<char>& found) const {
    scanAnchors<1>(text, size, found);
    scanAnchors<2>(text, size, found);
    scanAnchors<3>(text, size, found);
    scanAnchors<kAnchor>(text, size, found);
}

template class TermSet<char>;
template class TermSet<char16_t>;

}  // namespace quillery
