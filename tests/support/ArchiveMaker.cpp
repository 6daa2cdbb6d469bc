#include "support/ArchiveMaker.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <system_error>

#include <QProcess>
#include <QStringList>

namespace quillery::test {

void WriteArchive(const std::filesystem::path& path, const std::string& format,
                  const std::string& filter, const std::vector<ArchiveFile>& entries) {
    archive* a = archive_write_new();
    ASSERT_EQ(archive_write_set_format_by_name(a, format.c_str()), ARCHIVE_OK) << format;
    if (!filter.empty()) {
        ASSERT_EQ(archive_write_add_filter_by_name(a, filter.c_str()), ARCHIVE_OK) << filter;
    }
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
    for (const ArchiveFile& file : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, file.name.c_str());
        archive_entry_set_mtime(e, 1700000000, 0);
        if (file.directory) {
            archive_entry_set_filetype(e, AE_IFDIR);
            archive_entry_set_perm(e, 0755);
            archive_entry_set_size(e, 0);
        } else if (file.symlink) {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_perm(e, 0777);
            archive_entry_set_symlink(e, file.data.c_str());
            archive_entry_set_size(e, 0);
        } else {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_perm(e, 0644);
            archive_entry_set_size(e, static_cast<la_int64_t>(file.data.size()));
        }
        EXPECT_GE(archive_write_header(a, e), ARCHIVE_WARN) << archive_error_string(a);
        if (!file.symlink && !file.directory && !file.data.empty()) {
            EXPECT_EQ(archive_write_data(a, file.data.data(), file.data.size()),
                      static_cast<la_ssize_t>(file.data.size()));
        }
        archive_entry_free(e);
    }
    EXPECT_EQ(archive_write_close(a), ARCHIVE_OK) << archive_error_string(a);
    archive_write_free(a);
}

void KeepAsFuzzSeed(const std::filesystem::path& archive) {
    const char* folder = std::getenv("QUILLERY_FUZZ_SEEDS");
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    std::error_code ec;
    std::filesystem::copy_file(archive, std::filesystem::path(folder) / archive.filename(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << archive << ": " << ec.message();
}

bool Run7z(const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& argument : arguments) {
        args.push_back(QString::fromStdString(argument));
    }
    QProcess process;
    process.start(QStringLiteral("7z"), args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

}  // namespace quillery::test
