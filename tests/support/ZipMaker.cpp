#include "ZipMaker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <tuple>

namespace quillery::test {

void MakeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr) << "cannot create " << path << " (libzip error " << error << ")";
    for (const ZipEntry& entry : entries) {
        zip_int64_t index = -1;
        if (entry.directory) {
            index = zip_dir_add(za, entry.name.c_str(), ZIP_FL_ENC_GUESS);
        } else {
            // libzip keeps the buffer until zip_close; let it own a copy.
            // (An empty buffer is not taken over, so none is made for an empty entry.)
            void* copy = nullptr;
            if (!entry.data.empty()) {
                copy = std::malloc(entry.data.size());
                std::memcpy(copy, entry.data.data(), entry.data.size());
            }
            zip_source_t* source = zip_source_buffer(za, copy, entry.data.size(), copy != nullptr);
            ASSERT_NE(source, nullptr);
            index =
                zip_file_add(za, entry.name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
            if (index < 0) {
                zip_source_free(source);
            }
        }
        ASSERT_GE(index, 0) << "cannot add " << entry.name << ": " << zip_strerror(za);
        const auto i = static_cast<zip_uint64_t>(index);
        if (!entry.directory) {
            ASSERT_EQ(
                zip_set_file_compression(za, i, entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0),
                0);
        }
        if (!entry.password.empty()) {
            ASSERT_EQ(zip_file_set_encryption(za, i, ZIP_EM_TRAD_PKWARE, entry.password.c_str()), 0)
                << zip_strerror(za);
        }
        if (entry.symlink) {
            const zip_uint32_t mode = S_IFLNK | 0777;
            ASSERT_EQ(zip_file_set_external_attributes(za, i, 0, ZIP_OPSYS_UNIX, mode << 16), 0);
        }
    }
    ASSERT_EQ(zip_close(za), 0) << "cannot write " << path << ": " << zip_strerror(za);
}

std::filesystem::path MakeArchive(const std::filesystem::path& root, const std::string& rel,
                                  const std::string& entry, const std::string& text) {
    const auto p = root / rel;
    std::filesystem::create_directories(p.parent_path());
    MakeZip(p, {{entry, text}});
    return p;
}

void MakeBigArchive(const std::filesystem::path& zip, int lines, const std::string& tail) {
    const auto text = zip.parent_path() / "big.txt.tmp";
    {
        std::ofstream out(text, std::ios::binary);
        const std::string line = std::string(1023, 'z') + '\n';
        for (int i = 0; i < lines; ++i) {
            out << line;
        }
        out << tail;
    }
    zip_t* za = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    ASSERT_NE(za, nullptr);
    ASSERT_GE(zip_file_add(za, "big.txt", zip_source_file(za, text.c_str(), 0, -1), 0), 0);
    ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);
    std::filesystem::remove(text);
}

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void CorruptCrc(const std::filesystem::path& zip, const std::string& entryName) {
    std::string bytes = ReadFileBytes(zip);
    int changed = 0;
    // The name follows a local header (PK\3\4, CRC at +14) at +30 and a central header
    // (PK\1\2, CRC at +16) at +46.
    for (std::size_t at = bytes.find(entryName); at != std::string::npos;
         at = bytes.find(entryName, at + 1)) {
        for (const auto& [signature, nameAt, crcAt] :
             std::initializer_list<std::tuple<const char*, int, int>>{{"PK\3\4", 30, 14},
                                                                      {"PK\1\2", 46, 16}}) {
            if (at >= static_cast<std::size_t>(nameAt) &&
                bytes.compare(at - nameAt, 4, signature) == 0) {
                bytes[at - nameAt + crcAt] = static_cast<char>(bytes[at - nameAt + crcAt] ^ 0x5A);
                ++changed;
            }
        }
    }
    ASSERT_EQ(changed, 2) << "entry " << entryName << " not found in " << zip;
    WriteFileBytes(zip, bytes);
}

std::vector<std::string> FilesBelow(const std::filesystem::path& root, bool everything) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (everything || (it->is_regular_file() && !it->is_symlink())) {
            files.push_back(std::filesystem::relative(it->path(), root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Golden(const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    std::string text = ReadFileBytes(std::filesystem::path(QUILLERY_GOLDEN_DIR) / name);
    EXPECT_FALSE(text.empty()) << "no golden file " << name;
    for (const auto& [key, value] : values) {
        const std::string placeholder = "{" + key + "}";
        for (std::size_t at = 0; (at = text.find(placeholder, at)) != std::string::npos;
             at += value.size()) {
            text.replace(at, placeholder.size(), value);
        }
    }
    return text;
}

}  // namespace quillery::test
