#include "scan/QueryPrefilter.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <algorithm>
#include <cassert>
#include <string>

namespace quillery {

namespace {

// Shorter atoms are left to the search itself.
constexpr int kShortestAtom = 3;

constexpr std::string_view kKelvinSign = "\xE2\x84\xAA";
constexpr std::string_view kLongS = "\xC5\xBF";

}  // namespace

QueryPrefilter::QueryPrefilter(const std::vector<const re2::RE2*>& terms)
    : filter_(std::make_unique<re2::FilteredRE2>(kShortestAtom)), terms_(terms.size()) {
    for (std::size_t t = 0; t < terms.size(); ++t) {
        int id = -1;
        if (filter_->Add(terms[t]->pattern(), terms[t]->options(), &id) != RE2::NoError ||
            id != static_cast<int>(t)) {
            usable_ = false;  // compiled once already, so not expected
            return;
        }
    }
    if (terms.empty()) {
        usable_ = false;
        return;
    }
    std::vector<std::string> atoms;
    filter_->Compile(&atoms);
    atomTexts_ = atoms;
    for (std::string& atom : atoms) {
        const bool ascii = std::all_of(atom.begin(), atom.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0x80) == 0;
        });
        FoldAscii(atom.data(), atom.size(), atom.data());
        atoms_.push_back(Atom{ascii, FoldedTerm(std::move(atom))});
    }
}

QueryPrefilter::~QueryPrefilter() = default;

void QueryPrefilter::termsIn(std::string_view text, std::vector<char>& mayOccur) const {
    if (!usable_ || text.find(kKelvinSign) != std::string_view::npos ||
        text.find(kLongS) != std::string_view::npos) {
        mayOccur.assign(terms_, 1);
        return;
    }
    thread_local std::vector<char> present;
    present.assign(atoms_.size(), 0);
    for (std::size_t a = 0; a < atoms_.size(); ++a) {
        present[a] = !atoms_[a].ascii || atoms_[a].folded.foundIn(text.data(), text.size()) ? 1 : 0;
    }
    termsGiven(present, mayOccur);
}

void QueryPrefilter::termsGiven(const std::vector<char>& atomPresent,
                                std::vector<char>& mayOccur) const {
    if (!usable_) {
        mayOccur.assign(terms_, 1);
        return;
    }
    assert(atomPresent.size() == atoms_.size());
    thread_local std::vector<int> present, potential;
    present.clear();
    potential.clear();
    for (std::size_t a = 0; a < atomPresent.size(); ++a) {
        if (atomPresent[a] != 0) {
            present.push_back(static_cast<int>(a));
        }
    }
    filter_->AllPotentials(present, &potential);
    mayOccur.assign(terms_, 0);
    for (const int t : potential) {
        if (t >= 0 && static_cast<std::size_t>(t) < terms_) {
            mayOccur[static_cast<std::size_t>(t)] = 1;
        }
    }
}

}  // namespace quillery
