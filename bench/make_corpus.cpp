// Writes a benchmark corpus of zip archives and the list of archives a search must find.
// The same arguments always give the same archives, byte for byte.
//
//   bench_corpus collection|many-small|big|mixed OUTPUT_FOLDER
//
// OUTPUT_FOLDER/NAME/ receives the folder tree of archives (NAME: the shape without "-"),
// OUTPUT_FOLDER/SHAPE.truth the
// full paths of the archives whose selected entries (*.nfo *.diz *.txt) hold
// kNeedle in any letter case, one a line, sorted. OUTPUT_FOLDER/audit.txt receives 10,000 audit
// strings: the needle and strings that occur nowhere in the corpus, so that an audit run must find
// exactly the archives of the truth file.
//
// Shapes:
//   collection  about 2,000 archives in a nested tree, 3 to 8 entries each: .nfo art in code
//               page 437, .diz, .txt in ASCII, UTF-8 and Windows-1252, 1 KB to 2 MB, stored
//               and deflated, beside binary, .doc and .htm entries that the patterns skip.
//   many-small  20,000 archives of one to three tiny text entries.
//   big         a few small archives and one archive holding a single 2 GiB text entry.
//   mixed       about 1,500 archives of every type read with the all-archive-types option:
//               zip, 7z, tar plain and in every compression, cpio, iso, xar; archives inside
//               archives up to three levels deep (and some four, beyond the limit), truncated,
//               junk and encrypted ones. OUTPUT_FOLDER/mixed.truth lists what a search with
//               the option must find, mixed.zip.truth what one without it must find. iso and
//               xar archives record the time they were made, so only they differ between runs.
//
// OUTPUT_FOLDER/SHAPE.bytes receives the number of bytes of selected text a search reads.

#include <archive.h>
#include <archive_entry.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kNeedle = "Velvet Cipher Syndicate";
// Spellings of the needle as they are planted; every one matches without regard to case.
const char* const kNeedleSpellings[] = {"Velvet Cipher Syndicate", "VELVET CIPHER SYNDICATE",
                                        "velvet cipher syndicate", "vElVeT cIpHeR sYnDiCaTe"};
// Near misses that must not match.
const char* const kNearMisses[] = {"Velvet Cipher Syndicat", "Velvet  Cipher Syndicate",
                                   "Velvet Cipher-Syndicate", "elvet Cipher Syndicate"};

const char* const kWords[] = {
    "release", "group",   "greets",     "cracked", "supplied", "packed",  "date",    "disks",
    "notes",   "install", "Release",    "GROUP",   "NFO",      "Members", "courier", "trainer",
    "keygen",  "patch",   "crack",      "ripped",  "original", "size",    "format",  "language",
    "english", "German",  "protection", "none",    "modem",    "board",   "sysop",   "node",
    "the",     "and",     "of",         "to",      "in",       "for",     "with",    "from",
    "WORLD",   "HQ",      "Distro",     "site",    "call",     "now",     "ratio",   "free",
    "leech",   "upload",  "download",   "archive", "contents", "v1.0",    "v2.1",    "1993",
    "1994",    "1995",    "1996",       "(c)",     "[x]",      "***",     "---",     "==="};

// Code page 437 box-drawing and shading bytes.
const unsigned char kArtBytes[] = {0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF, 0xC4, 0xCD,
                                   0xBA, 0xB3, 0xC9, 0xBB, 0xC8, 0xBC, 0xFE, 0xF9};
// UTF-8 words with letters outside ASCII (none of them upper-cases to ASCII).
const char* const kUtf8Words[] = {"caf\xC3\xA9",
                                  "na\xC3\xAFve",
                                  "\xC3\xBC"
                                  "ber",
                                  "Stra\xC3\x9F"
                                  "e",
                                  "\xE2\x94\x80\xE2\x94\x80",
                                  "\xC3\x85sa"};
// Windows-1252 words (not valid UTF-8).
const char* const kCp1252Words[] = {"caf\xE9", "na\xEFve", "\x93quoted\x94",
                                    "\xFC"
                                    "ber"};

class Random {
  public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t next() { return engine_(); }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }
    bool chance(std::size_t inN) { return below(inN) == 0; }

  private:
    std::mt19937_64 engine_;
};

enum class TextKind { Ascii, Art, Utf8, Cp1252 };

std::string MakeText(Random& random, std::size_t bytes, TextKind kind) {
    std::string text;
    text.reserve(bytes + 64);
    std::size_t column = 0;
    while (text.size() < bytes) {
        if (kind == TextKind::Art && random.chance(3)) {
            const std::size_t run = 2 + random.below(20);
            const unsigned char b = kArtBytes[random.below(sizeof kArtBytes)];
            text.append(run, static_cast<char>(b));
            column += run;
        } else if (kind == TextKind::Utf8 && random.chance(15)) {
            text += kUtf8Words[random.below(std::size(kUtf8Words))];
            column += 4;
        } else if (kind == TextKind::Cp1252 && random.chance(15)) {
            text += kCp1252Words[random.below(std::size(kCp1252Words))];
            column += 4;
        } else {
            const char* word = kWords[random.below(std::size(kWords))];
            text += word;
            column += std::strlen(word);
        }
        if (column > 60 + random.below(15)) {
            text += "\r\n";
            column = 0;
        } else {
            text += ' ';
            ++column;
        }
    }
    return text;
}

std::string BinaryData(Random& random, std::size_t bytes) {
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) {
        // Mostly zeros and small values, as in executables, so that it still compresses.
        data[i] = static_cast<char>(random.chance(3) ? random.next() & 0xFF : random.below(4));
    }
    return data;
}

void Plant(std::string& text, std::size_t at, const std::string& what) {
    at = std::min(at, text.size());
    text.insert(at, " " + what + " ");
}

struct Entry {
    std::string name;
    std::string data;
    bool deflate = true;
};

bool Selected(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const auto endsWith = [&](const char* tail) {
        const std::size_t n = std::strlen(tail);
        return lower.size() >= n && lower.compare(lower.size() - n, n, tail) == 0;
    };
    return endsWith(".nfo") || endsWith(".diz") || endsWith(".txt");
}

bool HoldsNeedle(const std::string& data) {
    static const std::string upper = [] {
        std::string u = kNeedle;
        for (char& c : u) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        return u;
    }();
    std::string folded = data;
    for (char& c : folded) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return folded.find(upper) != std::string::npos;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_corpus: %s\n", what.c_str());
    std::exit(1);
}

void WriteZip(const fs::path& path, const std::vector<Entry>& entries) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (za == nullptr) {
        Fail("cannot create " + path.string());
    }
    for (const Entry& entry : entries) {
        void* copy = nullptr;
        if (!entry.data.empty()) {
            copy = std::malloc(entry.data.size());
            std::memcpy(copy, entry.data.data(), entry.data.size());
        }
        zip_source_t* source = zip_source_buffer(za, copy, entry.data.size(), copy != nullptr);
        const zip_int64_t index = zip_file_add(za, entry.name.c_str(), source, 0);
        if (index < 0) {
            Fail("cannot add " + entry.name + ": " + zip_strerror(za));
        }
        const auto i = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(za, i, entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        zip_file_set_mtime(za, i, 820454400, 0);  // 1996-01-01: same bytes on every run
    }
    if (zip_close(za) != 0) {
        Fail("cannot write " + path.string() + ": " + zip_strerror(za));
    }
}

// Remembers which archives hold the needle in a selected entry.
class Truth {
  public:
    void addIf(const fs::path& archive, bool matches) {
        if (matches) {
            matches_.insert(fs::absolute(archive).lexically_normal().string());
        }
    }
    void add(const fs::path& archive, const std::vector<Entry>& entries) {
        for (const Entry& e : entries) {
            if (Selected(e.name) && HoldsNeedle(e.data)) {
                matches_.insert(fs::absolute(archive).lexically_normal().string());
                return;
            }
        }
    }
    void write(const fs::path& file) const {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (const std::string& m : matches_) {
            out << m << '\n';
        }
    }
    std::size_t size() const { return matches_.size(); }

  private:
    std::set<std::string> matches_;
};

// Sizes from 1 KB to 2 MB, most of them small: about 9 KB on average.
std::size_t TextSize(Random& random) {
    const std::size_t roll = random.below(1000);
    if (roll < 5) {
        return 512 * 1024 + random.below(1536 * 1024);
    }
    if (roll < 60) {
        return 32 * 1024 + random.below(224 * 1024);
    }
    return 1024 + random.below(15 * 1024);
}

const char* const kFolderNames[] = {"games", "tools", "demos", "music", "utils", "docs", "art"};

std::string Pad(std::size_t n, int width) {
    std::string s = std::to_string(n);
    while (static_cast<int>(s.size()) < width) {
        s.insert(s.begin(), '0');
    }
    return s;
}

// A folder of the nested tree: TOP/yearYYYY[/groupNN].
fs::path TreeFolder(const fs::path& root, Random& random) {
    fs::path folder = root / kFolderNames[random.below(std::size(kFolderNames))];
    if (!random.chance(8)) {
        folder /= "year" + std::to_string(1990 + random.below(10));
        if (random.chance(2)) {
            folder /= "group" + Pad(random.below(12), 2);
        }
    }
    return folder;
}

std::uint64_t MakeCollection(const fs::path& root, Truth& truth) {
    Random random(1996);
    constexpr std::size_t kArchives = 2000;
    std::uint64_t selectedBytes = 0;
    for (std::size_t a = 0; a < kArchives; ++a) {
        const fs::path folder = TreeFolder(root, random);
        fs::create_directories(folder);
        std::vector<Entry> entries;
        const std::size_t count = 3 + random.below(6);
        for (std::size_t e = 0; e < count; ++e) {
            Entry entry;
            entry.deflate = !random.chance(4);
            switch (random.below(10)) {
                case 0:
                case 1:
                case 2: {
                    entry.name = random.chance(5) ? "RELEASE.NFO" : "release" + Pad(e, 1) + ".nfo";
                    entry.data = MakeText(random, TextSize(random), TextKind::Art);
                    break;
                }
                case 3:
                case 4: {
                    entry.name = random.chance(2) ? "FILE_ID.DIZ" : "file_id" + Pad(e, 1) + ".diz";
                    entry.data = MakeText(random, 200 + random.below(1800), TextKind::Art);
                    break;
                }
                case 5:
                case 6: {
                    const TextKind kinds[] = {TextKind::Ascii, TextKind::Ascii, TextKind::Utf8,
                                              TextKind::Cp1252};
                    entry.name = (random.chance(4) ? "docs/readme" : "readme") + Pad(e, 1) +
                                 (random.chance(6) ? ".TXT" : ".txt");
                    entry.data = MakeText(random, TextSize(random), kinds[random.below(4)]);
                    break;
                }
                case 7: {
                    entry.name = "manual" + Pad(e, 1) + (random.chance(2) ? ".doc" : ".htm");
                    entry.data = MakeText(random, TextSize(random), TextKind::Ascii);
                    break;
                }
                default: {
                    entry.name = "program" + Pad(e, 1) + (random.chance(2) ? ".exe" : ".dat");
                    entry.data = BinaryData(random, 4096 + random.below(200 * 1024));
                    break;
                }
            }
            for (const Entry& other : entries) {
                if (other.name == entry.name) {
                    entry.name = "x" + Pad(e, 1) + entry.name;  // names are unique
                }
            }
            entries.push_back(std::move(entry));
        }

        // Needles: one archive in 40 holds it in a selected entry, one in 40 only in an
        // entry the patterns skip, one in 40 a near miss.
        const std::size_t plan = random.below(40);
        std::vector<std::size_t> selected, skipped;
        for (std::size_t e = 0; e < entries.size(); ++e) {
            (Selected(entries[e].name) ? selected : skipped).push_back(e);
        }
        if (plan == 0 && !selected.empty()) {
            std::string& data = entries[selected[random.below(selected.size())]].data;
            const char* spelling = kNeedleSpellings[random.below(std::size(kNeedleSpellings))];
            // At the start, at the end, across the boundary of a 256 KB piece, or anywhere.
            switch (random.below(4)) {
                case 0:
                    data.insert(0, std::string(spelling) + " ");
                    break;
                case 1:
                    data += " " + std::string(spelling);
                    break;
                case 2:
                    Plant(data, 256 * 1024 - 10, spelling);
                    break;
                default:
                    Plant(data, random.below(data.size() + 1), spelling);
                    break;
            }
        } else if (plan == 1 && !skipped.empty()) {
            std::string& data = entries[skipped[random.below(skipped.size())]].data;
            Plant(data, random.below(data.size() + 1), kNeedle);
        } else if (plan == 2 && !selected.empty()) {
            std::string& data = entries[selected[random.below(selected.size())]].data;
            Plant(data, random.below(data.size() + 1),
                  kNearMisses[random.below(std::size(kNearMisses))]);
        }

        for (const Entry& e : entries) {
            if (Selected(e.name)) {
                selectedBytes += e.data.size();
            }
        }
        const fs::path archive = folder / ("rel" + Pad(a, 4) + ".zip");
        WriteZip(archive, entries);
        truth.add(archive, entries);
    }
    return selectedBytes;
}

std::uint64_t MakeManySmall(const fs::path& root, Truth& truth) {
    Random random(2000);
    constexpr std::size_t kArchives = 20000;
    std::uint64_t selectedBytes = 0;
    for (std::size_t a = 0; a < kArchives; ++a) {
        const fs::path folder = root / ("box" + Pad(a / 500, 2)) / ("shelf" + Pad(a / 100 % 5, 1));
        fs::create_directories(folder);
        std::vector<Entry> entries;
        const std::size_t count = 1 + random.below(3);
        for (std::size_t e = 0; e < count; ++e) {
            static const char* const kNames[] = {"FILE_ID.DIZ", "info.nfo", "readme.txt"};
            Entry entry;
            entry.name = kNames[e];
            entry.deflate = !random.chance(3);
            entry.data =
                MakeText(random, 60 + random.below(1500), e == 2 ? TextKind::Ascii : TextKind::Art);
            entries.push_back(std::move(entry));
        }
        if (random.chance(100)) {
            std::string& data = entries[random.below(entries.size())].data;
            Plant(data, random.below(data.size() + 1),
                  kNeedleSpellings[random.below(std::size(kNeedleSpellings))]);
        }
        for (const Entry& e : entries) {
            selectedBytes += e.data.size();
        }
        const fs::path archive = folder / ("tiny" + Pad(a, 5) + ".zip");
        WriteZip(archive, entries);
        truth.add(archive, entries);
    }
    return selectedBytes;
}

// The 2 GiB entry is made while libzip compresses it, never held whole.
struct BigText {
    static constexpr std::uint64_t kSize = std::uint64_t{2} << 30;
    std::uint64_t offset = 0;
    std::string line;
    std::string tail;
};

zip_int64_t BigTextSource(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* text = static_cast<BigText*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            text->offset = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::uint64_t left = BigText::kSize - text->offset;
            const std::uint64_t n = std::min<std::uint64_t>(length, left);
            auto* out = static_cast<char*>(data);
            const std::uint64_t tailStart = BigText::kSize - text->tail.size();
            for (std::uint64_t i = 0; i < n; ++i) {
                const std::uint64_t at = text->offset + i;
                out[i] = at >= tailStart ? text->tail[at - tailStart]
                                         : text->line[at % text->line.size()];
            }
            text->offset += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = BigText::kSize;
            st->mtime = 820454400;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return 2 * sizeof(int);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return -1;
    }
}

std::uint64_t MakeBig(const fs::path& root, Truth& truth) {
    Random random(2048);
    fs::create_directories(root / "small");
    for (std::size_t a = 0; a < 20; ++a) {
        std::vector<Entry> entries{{"info.nfo", MakeText(random, 4000, TextKind::Art), true}};
        const fs::path archive = root / "small" / ("small" + Pad(a, 2) + ".zip");
        WriteZip(archive, entries);
        truth.add(archive, entries);
    }
    BigText text;
    // A line of 1,000 bytes repeated; the needle sits in the last bytes.
    text.line = MakeText(random, 998, TextKind::Ascii).substr(0, 998) + "\r\n";
    text.tail = std::string(" ") + kNeedleSpellings[1] + " \r\n";
    const fs::path archive = root / "huge.zip";
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (za == nullptr) {
        Fail("cannot create " + archive.string());
    }
    zip_source_t* source = zip_source_function(za, BigTextSource, &text);
    const zip_int64_t index = zip_file_add(za, "huge.txt", source, 0);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    if (zip_close(za) != 0) {
        Fail("cannot write " + archive.string() + ": " + zip_strerror(za));
    }
    truth.add(archive, {{"huge.txt", text.tail, true}});
    return BigText::kSize + 20 * 4000;
}

// An archive of any libarchive-written type, as bytes.
std::string ArchiveBytes(const std::string& format, const std::string& filter,
                         const std::vector<Entry>& entries) {
    archive* a = archive_write_new();
    if (archive_write_set_format_by_name(a, format.c_str()) != ARCHIVE_OK ||
        (!filter.empty() && archive_write_add_filter_by_name(a, filter.c_str()) != ARCHIVE_OK)) {
        Fail("libarchive cannot write " + format + " " + filter);
    }
    std::size_t capacity = 1024 * 1024;
    for (const Entry& e : entries) {
        capacity += e.data.size() * 2 + 4096;
    }
    std::string out(capacity, '\0');
    std::size_t used = 0;
    if (archive_write_open_memory(a, out.data(), out.size(), &used) != ARCHIVE_OK) {
        Fail(archive_error_string(a));
    }
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_mtime(entry, 820454400, 0);
        archive_entry_set_size(entry, static_cast<la_int64_t>(e.data.size()));
        if (archive_write_header(a, entry) < ARCHIVE_WARN ||
            (!e.data.empty() && archive_write_data(a, e.data.data(), e.data.size()) < 0)) {
            Fail(std::string("cannot write ") + e.name + ": " + archive_error_string(a));
        }
        archive_entry_free(entry);
    }
    if (archive_write_close(a) != ARCHIVE_OK) {
        Fail(archive_error_string(a));
    }
    archive_write_free(a);
    out.resize(used);
    return out;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        Fail("cannot write " + path.string());
    }
}

std::string ZipBytes(const fs::path& scratch, const std::vector<Entry>& entries,
                     const std::string& password = {}) {
    WriteZip(scratch, entries);
    if (!password.empty()) {
        int error = 0;
        zip_t* za = zip_open(scratch.c_str(), 0, &error);
        for (zip_uint64_t i = 0; za != nullptr && i < entries.size(); ++i) {
            zip_file_set_encryption(za, i, ZIP_EM_AES_256, password.c_str());
        }
        if (za == nullptr || zip_close(za) != 0) {
            Fail("cannot encrypt " + scratch.string());
        }
    }
    std::ifstream in(scratch, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(scratch);
    return bytes;
}

// The types of the mixed shape: suffix, libarchive format and filter ("zip" for libzip).
struct Kind {
    const char* suffix;
    const char* format;
    const char* filter;
};
const Kind kKinds[] = {
    {".zip", "zip", ""},         {".7z", "7zip", ""},        {".tar", "pax", ""},
    {".tgz", "pax", "gzip"},     {".tar.gz", "pax", "gzip"}, {".tar.bz2", "pax", "bzip2"},
    {".tbz", "pax", "bzip2"},    {".tar.xz", "pax", "xz"},   {".txz", "pax", "xz"},
    {".tar.zst", "pax", "zstd"}, {".tzst", "pax", "zstd"},   {".tar.lz", "pax", "lzip"},
    {".cpio", "cpio", ""},       {".iso", "iso9660", ""},    {".xar", "xar", ""},
};

std::string KindBytes(const Kind& kind, const fs::path& scratch,
                      const std::vector<Entry>& entries) {
    return std::string(kind.format) == "zip" ? ZipBytes(scratch, entries)
                                             : ArchiveBytes(kind.format, kind.filter, entries);
}

// Text entries as in the collection, smaller, the needle in the .diz when asked; adds the
// bytes of the selected ones to selectedBytes.
std::vector<Entry> MixedEntries(Random& random, bool needle, std::uint64_t& selectedBytes) {
    std::vector<Entry> entries;
    const std::size_t count = 2 + random.below(4);
    for (std::size_t e = 0; e < count; ++e) {
        Entry entry;
        switch (random.below(4)) {
            case 0:
                entry.name = "release" + Pad(e, 1) + ".nfo";
                entry.data = MakeText(random, TextSize(random), TextKind::Art);
                break;
            case 1:
                entry.name = "docs/readme" + Pad(e, 1) + ".txt";
                entry.data = MakeText(random, TextSize(random), TextKind::Utf8);
                break;
            case 2:
                entry.name = "manual" + Pad(e, 1) + ".htm";
                entry.data = MakeText(random, TextSize(random), TextKind::Ascii);
                break;
            default:
                entry.name = "program" + Pad(e, 1) + ".exe";
                entry.data = BinaryData(random, 4096 + random.below(60 * 1024));
                break;
        }
        entries.push_back(std::move(entry));
    }
    entries.push_back({"file_id.diz", MakeText(random, 300 + random.below(900), TextKind::Art)});
    if (needle) {
        std::string& data = entries.back().data;
        Plant(data, random.below(data.size() + 1),
              kNeedleSpellings[random.below(std::size(kNeedleSpellings))]);
    }
    for (const Entry& e : entries) {
        if (Selected(e.name)) {
            selectedBytes += e.data.size();
        }
    }
    return entries;
}

std::uint64_t MakeMixed(const fs::path& root, Truth& truth, Truth& zipTruth) {
    Random random(2024);
    constexpr std::size_t kArchives = 1500;
    const fs::path scratch = root / "scratch.zip";
    std::uint64_t selectedBytes = 0;
    for (std::size_t a = 0; a < kArchives; ++a) {
        const fs::path folder = TreeFolder(root, random);
        fs::create_directories(folder);
        const bool needle = random.chance(8);
        const std::size_t plan = random.below(40);
        const Kind& kind = kKinds[random.below(std::size(kKinds))];
        fs::path archive = folder / ("pack" + Pad(a, 4));
        std::string bytes;
        bool found = needle;        // with the option
        bool foundWithout = false;  // without it (zips only)
        if (plan < 6) {
            // A zip holding archives: one level, or a chain of two to four levels.
            const std::size_t levels = plan < 3 ? 1 : plan - 1;
            std::vector<Entry> inner = MixedEntries(random, needle, selectedBytes);
            for (std::size_t level = levels; level > 0; --level) {
                const Kind& k = kKinds[random.below(std::size(kKinds))];
                const std::string name = "level" + std::to_string(level) + k.suffix;
                std::vector<Entry> outer{{name, KindBytes(k, scratch, inner), random.chance(2)}};
                if (level > 1) {
                    inner = std::move(outer);
                } else {
                    inner = std::move(outer);
                    inner.push_back({"info.txt", MakeText(random, 2000, TextKind::Ascii)});
                    selectedBytes += 2000;
                }
            }
            found = needle && levels <= 3;
            archive += ".zip";
            bytes = ZipBytes(scratch, inner);
        } else if (plan == 6) {
            // Truncated: damaged whatever it holds.
            archive += ".tar.gz";
            bytes = ArchiveBytes("pax", "gzip", MixedEntries(random, needle, selectedBytes));
            bytes.resize(bytes.size() / 2);
            found = false;
        } else if (plan == 7) {
            archive += ".7z";
            bytes = MakeText(random, 3000, TextKind::Ascii) + " " + kNeedle;
            found = false;
        } else if (plan == 8) {
            archive += ".zip";
            bytes = ZipBytes(scratch, MixedEntries(random, needle, selectedBytes), "secret");
            found = false;
        } else {
            const std::vector<Entry> entries = MixedEntries(random, needle, selectedBytes);
            archive += kind.suffix;
            bytes = KindBytes(kind, scratch, entries);
            foundWithout = needle && std::string(kind.format) == "zip";
        }
        WriteFile(archive, bytes);
        truth.addIf(archive, found);
        zipTruth.addIf(archive, foundWithout);
    }
    return selectedBytes;
}

// 9,999 strings that occur nowhere in the corpus (each holds a letter pair no corpus word
// has), a third of them starting like corpus text, and the needle.
void WriteAuditFile(const fs::path& file) {
    Random random(10000);
    static const char* const kSyllables[] = {"qz",   "vor", "kel", "thax", "mir", "zu",
                                             "bran", "ix",  "olo", "quen", "dra", "fyx"};
    std::vector<std::string> lines;
    std::set<std::string> seen;
    while (lines.size() < 9999) {
        std::string s;
        if (random.chance(3)) {
            s = std::string(kWords[random.below(std::size(kWords))]) + " ";
        }
        const std::size_t parts = 2 + random.below(4);
        for (std::size_t p = 0; p < parts; ++p) {
            s += kSyllables[random.below(std::size(kSyllables))];
            if (p == 0) {
                s += "qz";
            }
        }
        if (random.chance(4)) {
            s += " " + std::to_string(random.below(100000));
        }
        if (seen.insert(s).second) {
            lines.push_back(s);
        }
    }
    lines.insert(lines.begin() + 5000, kNeedle);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) {
        out << line << "\r\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_corpus collection|many-small|big|mixed OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string shape = argv[1];
    const fs::path out = fs::absolute(argv[2]);
    // Folder names hold no "-": a command-line switch value ends at the next one.
    const fs::path root = out / (shape == "many-small" ? std::string("manysmall") : shape);
    fs::remove_all(root);
    fs::create_directories(root);
    Truth truth;
    Truth zipTruth;
    std::uint64_t selected = 0;
    if (shape == "collection") {
        selected = MakeCollection(root, truth);
    } else if (shape == "many-small") {
        selected = MakeManySmall(root, truth);
    } else if (shape == "big") {
        selected = MakeBig(root, truth);
    } else if (shape == "mixed") {
        selected = MakeMixed(root, truth, zipTruth);
        zipTruth.write(out / "mixed.zip.truth");
    } else {
        std::fprintf(stderr, "bench_corpus: unknown shape %s\n", shape.c_str());
        return 2;
    }
    truth.write(out / (shape + ".truth"));
    std::ofstream(out / (shape + ".bytes"), std::ios::trunc) << selected << '\n';
    WriteAuditFile(out / "audit.txt");
    std::printf("%s: %.1f MB of selected text, %zu archives must match\n", shape.c_str(),
                static_cast<double>(selected) / 1e6, truth.size());
    return 0;
}
