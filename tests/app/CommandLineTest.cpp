#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <filesystem>

#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

TEST(CommandLineTest, SwitchesAreCaseSensitiveSubstringsEndingAtTheNextDash) {
    CommandLineSwitches s = ParseCommandLine("-folder=C:\\zips -search=invoice");
    EXPECT_EQ(s.folder, "C:\\zips");
    EXPECT_EQ(s.search, "invoice");
    EXPECT_FALSE(s.extensions);
    EXPECT_FALSE(s.audit);

    s = ParseCommandLine("-search=invoice -folder=C:\\zips");
    EXPECT_EQ(s.search, "invoice ");  // a search value keeps its blank
    EXPECT_EQ(s.folder, "C:\\zips");

    EXPECT_EQ(ParseCommandLine("-folder=/data/my-zips -search=x").folder, "/data/my");
    EXPECT_FALSE(ParseCommandLine("-Folder=/zips").folder);
    EXPECT_EQ(ParseCommandLine("-search=\"two words\"").search, "\"two words\"");
    EXPECT_EQ(ParseCommandLine("-search=a -search=b").search, "a ");
    EXPECT_TRUE(ParseCommandLine("-search=x-audit").audit);
    EXPECT_EQ(ParseCommandLine("-search=x-audit").search, "x");
    EXPECT_EQ(ParseCommandLine("-extensions=*.txt *.nfo").extensions, "*.txt *.nfo");
}

// Runs the real program the way a script would: no display, its own home, configuration,
// temporary and working folders.
// The folders have no "-" in their names: on a command line a value ends at the first "-".
class BinaryRun : public ::testing::Test {
  protected:
    struct Result {
        int exitCode = -1;
        QString out, err;
    };

    Result Run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("HOME", QString::fromStdString((home / "").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
        env.insert("TMPDIR", QString::fromStdString(tmp.string()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(tmp.string()));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(work.string()));
        process.start(QStringLiteral(QUILLERY_BINARY), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    void SetUp() override {
        for (const auto& dir : {home, config, tmp, work, zips}) {
            fs::create_directories(dir);
        }
        MakeZip(zips / "a.zip", {{"readme.txt", "Hello there"}});
        MakeZip(zips / "b.zip", {{"notes.doc", "hello in a .doc"}});
        MakeZip(zips / "c.zip", {{"readme.txt", "nothing"}});
    }

    std::string Log() { return ReadFileBytes(work / "Quillery 0.67 .Log"); }
    std::string Settings() { return ReadFileBytes(config / "Velmora" / "Quillery .conf"); }
    QString Zips() { return QString::fromStdString(zips.string()); }

    TempDir root;
    fs::path home = root / "home", config = root / "config", tmp = root / "tmp",
             work = root / "work", zips = root / "zips";
};

TEST_F(BinaryRun, ASearchRunsUnattendedLogsSavesAndCleansUp) {
    const Result r = Run({"-folder=" + Zips(), "-search=hello"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "There were 2 files that contained \"hello\", from a total of 3 files\n");

    const QString log = QString::fromStdString(Log());
    const QString z = Zips();
    const QRegularExpression expected(QRegularExpression::anchoredPattern(
        QStringLiteral(
            "\r\nLog created By Quillery Version 0\\.67  On [^\r\n]+, At \\d\\d:\\d\\d\r\n"
            "[^\r\n]+\r\n\r\n") +
        QRegularExpression::escape("Ran with Command Line \"-folder=" + z +
                                   " -search=hello\"\r\n"
                                   "Starting Folder \"" +
                                   z +
                                   "/\"\r\n"
                                   "Using File Extensions \"*.nfo *.diz *.txt *.doc\"\r\n"
                                   "Number of files scanned 3\r\n"
                                   "Number of files that matched \"hello\" was 2\r\n\r\n\r\n") +
        "(" + QRegularExpression::escape(z + "/a.zip\r\n" + z + "/b.zip\r\n") + "|" +
        QRegularExpression::escape(z + "/b.zip\r\n" + z + "/a.zip\r\n") + ")\r\n"));
    EXPECT_TRUE(expected.match(log).hasMatch()) << log.toStdString();

    const std::string settings = Settings();
    EXPECT_NE(settings.find("File%20Extensions=\"*.nfo *.diz *.txt *.doc \""), std::string::npos);
    EXPECT_NE(settings.find("Search%20String=hello"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "Quillery "));
}

TEST_F(BinaryRun, ExitStatusSaysWhetherAnythingMatched) {
    Result r = Run({"-folder=" + Zips(), "-search=absent", "-extensions=*.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "There were 0 files that contained \"absent \", from a total of 3 files\n");
    EXPECT_NE(Log().find("Using File Extensions \"*.txt\""), std::string::npos);

    // A value ends at the next "-": this folder is "<zips>/my", which does not exist.
    r = Run({"-folder=" + Zips() + "/my-zips", "-search=hello"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "There were 0 files that contained \"hello\", from a total of 0 files\n");
}

TEST_F(BinaryRun, WithoutARunAndWithoutADisplayItSaysSoAndLeavesTheSettingsAlone) {
    const std::string stored =
        "[General]\nAudit=0\nFile%20Extensions=*.nfo *.txt \nIntView=1\n"
        "Search%20Path=/data/zips\nSearch%20String=starfield\nShowSize=1\nSubFolder=1\n"
        "Version=0.67\n";
    fs::create_directories(config / "Velmora");
    WriteFileBytes(config / "Velmora" / "Quillery .conf", stored);
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"-search=hello"}, QStringList{"-folder=" + Zips()}}) {
        const Result r = Run(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("no display")) << r.err.toStdString();
        EXPECT_EQ(Settings(), stored) << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(fs::exists(work / "Quillery 0.67 .Log"));
    EXPECT_FALSE(fs::exists(tmp / "Quillery "));
}

TEST_F(BinaryRun, AuditRunsTakeTheirStringsFromTheWorkingFolder) {
    WriteFileBytes(work / "audit.txt", "nothing\r\nthere\r\n");
    Result r = Run({"-search=ignored", "-folder=" + Zips(), "-audit"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "There were 2 files that contained strings from the Audit file, from a total of 3 "
              "files\n");
    const std::string log = Log();
    EXPECT_NE(log.find("Using Audit File\r\n"), std::string::npos);
    EXPECT_NE(log.find("Number of files that matched strings from \"Audit.TXT\" file 2\r\n"),
              std::string::npos);

    fs::remove(work / "audit.txt");
    r = Run({"-folder=" + Zips(), "-audit"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("You must enter a Search String, before Scanning can begin."));
}

TEST_F(BinaryRun, ASearchValueBeforeTheFolderKeepsItsTrailingBlank) {
    const Result r = Run({"-search=hello", "-folder=" + Zips()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(Log().find("Number of files that matched \"hello \" was 2\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillery::test
