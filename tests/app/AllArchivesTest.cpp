#include <algorithm>

#include "app/AppFixture.h"
#include "settings/Settings.h"
#include "support/ArchiveMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// "grüße needle" in UTF-16 with its byte-order mark, in either order.
std::string Utf16Text(bool bigEndian) {
    const std::u16string text = u"  gr\u00FC\u00DFe needle \U0001D11E";
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

class AllArchivesTest : public AppFixture {
  protected:
    // Runs the program from a command line, as a script does; returns its log entry without
    // the header and the run's shown rows.
    std::string CommandLineRun(const QString& extra) {
        app.reset();
        fs::remove("Quillery 0.67 .Log");
        app = std::make_unique<Application>(&questions, true);
        app->start("-folder=" + FolderText(root.path()) + " -search=needle || grüße" + extra);
        std::string log = LogBytes();
        log.erase(0, log.find("Ran with"));
        return log;
    }
    // The log's result lines: the archives listed, sorted.
    static std::vector<std::string> Listed(const std::string& log, const fs::path& folder) {
        std::vector<std::string> files;
        std::size_t at = 0;
        while ((at = log.find(folder.string() + "/", at)) != std::string::npos) {
            const std::size_t end = log.find("\r\n", at);
            const std::string line = log.substr(at, end - at);
            if (line.find('"') == std::string::npos) {
                files.push_back(fs::relative(line, folder).string());
            }
            at = end;
        }
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST_F(AllArchivesTest, TheSwitchReadsEveryTypeForItsRunOnlyAndWithoutItNothingChanges) {
    // A collection of zips and of every other kind, nested, damaged and junk ones among them.
    MakeArchive(root.path(), "a.zip", "a.txt", "a needle");
    fs::create_directories(root / "sub");
    MakeArchive(root.path(), "plain.zip", "a.txt", "nothing");
    MakeZip(root / "le.zip", {{"le.txt", Utf16Text(false)}});
    MakeZip(root / "sub/be.zip", {{"be.nfo", Utf16Text(true)}});
    MakeZip(root / "bom.zip", {{"bom.txt", "\xEF\xBB\xBFgrüße"}});
    WriteArchive(root / "inner.tar.gz", "pax", "gzip", {{"deep/n.txt", "nested needle"}});
    MakeZip(root / "nest.zip",
            {{"x.doc", "no"}, {"inner.tar.gz", ReadFileBytes(root / "inner.tar.gz")}});
    fs::remove(root / "inner.tar.gz");
    WriteArchive(root / "b.7z", "7zip", "", {{"b.txt", "needle in 7z"}});
    WriteArchive(root / "sub/c.TGZ", "pax", "gzip", {{"c.txt", "needle in tgz"}});
    WriteArchive(root / "sub/d.tar.xz", "pax", "xz", {{"d.txt", "nothing here"}});
    WriteArchive(root / "e.cpio", "cpio", "", {{"e.nfo", "needle in cpio"}});
    WriteArchive(root / "cut.tar.gz", "pax", "gzip",
                 {{"cut.txt", "needle"}, {"big.txt", std::string(300000, 'q')}});
    fs::resize_file(root / "cut.tar.gz", fs::file_size(root / "cut.tar.gz") / 2);
    WriteFileBytes(root / "junk.7z", "needle, but no archive");
    // Without the switch only the zips are read and counted.
    const std::string zipsOnly = CommandLineRun("");
    EXPECT_NE(zipsOnly.find("Number of files scanned 6\r\n"), std::string::npos) << zipsOnly;
    EXPECT_EQ(Listed(zipsOnly, root.path()),
              (std::vector<std::string>{"a.zip", "bom.zip", "le.zip", "sub/be.zip"}));

    const std::string all = CommandLineRun(" -allarchives");
    EXPECT_NE(all.find("Number of files scanned 12\r\n"), std::string::npos) << all;
    EXPECT_EQ(Listed(all, root.path()),
              (std::vector<std::string>{"a.zip", "b.7z", "bom.zip", "e.cpio", "le.zip", "nest.zip",
                                        "sub/be.zip", "sub/c.TGZ"}));
    // The switch leaves the option as it was, also in the settings.
    app.reset();
    Start();
    EXPECT_FALSE(Child<QCheckBox>("chkAllArchives")->isChecked());
    EXPECT_EQ(LoadSettings().allArchives, 0);
}

TEST_F(AllArchivesTest, TheOptionIsStoredAndItsResultsAreViewed) {
    WriteArchive(root / "pack.7z", "7zip", "",
                 {{"docs/le.txt", Utf16Text(false)}, {"tool.exe", "MZ"}});
    Child<QCheckBox>("chkAllArchives")->setChecked(true);
    Child<QLineEdit>("textSearchString")->setText(QStringLiteral("grüße"));
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt");
    Child<QCheckBox>("chkInternalView")->setChecked(true);
    Click("comCheckFolder");
    ASSERT_EQ(Column(0), QStringList{"pack.7z"});

    QString shown;
    OpenViewer([&](ViewerWindow& viewer) { shown = viewer.textBox()->toPlainText(); });
    EXPECT_TRUE(shown.contains(QStringLiteral("FileName - LE.TXT\n=")));
    EXPECT_TRUE(shown.contains(QStringLiteral("gr\u00FC\u00DFe needle \U0001D11E")))
        << shown.toStdString();

    Close();
    Start();
    EXPECT_TRUE(Child<QCheckBox>("chkAllArchives")->isChecked());
    EXPECT_EQ(LoadSettings().allArchives, 1);
}

}  // namespace
}  // namespace quillery::test
