#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillery {

// Many terms looked for in one pass over a text (the audit strings). Each term of four or
// more units is anchored on its rarest run of four units; a position of the text whose four
// units hash like an anchor, and then equal one, gives the term starts to try, and each is
// followed through a trie of all terms, which reports every term that starts there. Shorter
// terms are anchored on themselves. Texts and terms are compared unit by unit, so both must
// be upper-cased the same way before. CharT is char (ASCII bytes) or char16_t (decoded text).
template <class CharT>
class TermSet {
  public:
    // Empty terms are left out; equal terms all count.
    explicit TermSet(const std::vector<std::basic_string<CharT>>& terms);

    // Sets found[i] for every term i that lies wholly within text[0, size).
    void scan(const CharT* text, std::size_t size, std::vector<char>& found) const;

  private:
    static constexpr int kAnchor = 4;
    static constexpr int kHashBits = 20;

    struct Node {
        std::uint32_t edgesBegin = 0, edgesEnd = 0;  // children, sorted by unit
        std::uint32_t termsBegin = 0, termsEnd = 0;  // terms that end here
    };

    static std::uint64_t Key(const CharT* at, int length);
    // A 16-bit digest of the first two units at at: a cheap first test, on a bitmap that
    // stays in the nearest cache, before the anchor's own hash is looked up.
    static std::uint32_t PairOf(const CharT* at);
    static std::uint32_t Hash(std::uint64_t key);
    void addAnchor(int length, const CharT* at, std::uint32_t offset);
    // Follows the terms whose anchor of this length lies at at, if one does.
    void tryAnchor(const CharT* text, std::size_t at, std::size_t size, int length,
                   std::vector<char>& found) const;
    template <int Length>
    void scanAnchors(const CharT* text, std::size_t size, std::vector<char>& found) const;
    void follow(const CharT* text, std::size_t at, std::size_t size,
                std::vector<char>& found) const;

    // For each anchor length (1 to 4) a bitmap of anchor hashes, and for each anchor the
    // distinct distances from a term's start to it.
    std::vector<std::uint64_t> filters_[kAnchor + 1];
    std::vector<std::uint64_t> anchorPairs_;  // PairOf of the four-unit anchors
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> offsets_[kAnchor + 1];
    std::vector<Node> nodes_;
    std::vector<CharT> edgeUnits_;
    std::vector<std::uint32_t> edgeTargets_;
    std::vector<std::uint32_t> termIndices_;
};

}  // namespace quillery
