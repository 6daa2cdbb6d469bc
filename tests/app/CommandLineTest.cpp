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
    EXPECT_FALSE(s.extensions || s.audit);
    s = ParseCommandLine("-search=invoice -folder=C:\\zips");
    EXPECT_EQ(s.search, "invoice ");  // a search value keeps its blank
    EXPECT_EQ(ParseCommandLine("-folder=/data/my-zips -search=x").folder, "/data/my");
    EXPECT_FALSE(ParseCommandLine("-Folder=/zips").folder);
    EXPECT_EQ(ParseCommandLine("-search=\"two words\"").search, "\"two words\"");
    EXPECT_EQ(ParseCommandLine("-search=a -search=b").search, "a ");
    EXPECT_TRUE(ParseCommandLine("-search=x-audit").audit);
    EXPECT_EQ(ParseCommandLine("-search=x-audit").search, "x");
    EXPECT_EQ(ParseCommandLine("-extensions=*.txt *.nfo").extensions, "*.txt *.nfo");
}

// Runs the real program the way a script would: no display, its own home, configuration,
// cache, temporary and working folders. The folders have no "-" in their names: on a
// command line a value ends at the first "-".
class BinaryRun : public ::testing::Test {
  protected:
    struct Result {
        int exitCode = -1;
        QString out, err;
    };

    Result Run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(name);
        }
        env.insert("HOME", Text(home / ""));
        env.insert("XDG_CONFIG_HOME", Text(config));
        env.insert("XDG_CACHE_HOME", Text(tmp));
        env.insert("TMPDIR", Text(tmp));
        env.insert("XDG_RUNTIME_DIR", Text(tmp));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(Text(work));
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

    static QString Text(const fs::path& p) { return QString::fromStdString(p.string()); }
    // The log with its date and time replaced by placeholders.
    std::string Log() {
        return QString::fromStdString(ReadFileBytes(work / "Quillery 0.67 .Log"))
            .replace(QRegularExpression("On [^\r\n]+, At \\d\\d:\\d\\d\r\n"),
                     "On {DATE}, At {TIME}\r\n")
            .toStdString();
    }
    // The golden log of a run that found archives x and y, in either order.
    void ExpectLog(std::vector<std::pair<std::string, std::string>> values, std::string x,
                   std::string y) {
        const std::string log = Log();
        if (log.find("/" + y + ".zip") < log.find("/" + x + ".zip")) {
            std::swap(x, y);
        }
        values.insert(values.end(), {{"ZIPS", zips.string()}, {"FIRST", x}, {"SECOND", y}});
        EXPECT_EQ(log, Golden("command-line.log", values));
    }
    std::string Settings() { return ReadFileBytes(config / "Velmora" / "Quillery .conf"); }

    TempDir root;
    fs::path home = root / "home", config = root / "config", tmp = root / "tmp",
             work = root / "work", zips = root / "zips";
};

TEST_F(BinaryRun, SearchesAndAuditsRunUnattendedLogSaveAndCleanUp) {
    Result r = Run({"-folder=" + Text(zips), "-search=hello"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "There were 2 files that contained \"hello\", from a total of 3 files\n");
    ExpectLog({{"ARGS", "-folder=" + zips.string() + " -search=hello"},
               {"AUDIT", ""},
               {"MATCHED", "\"hello\" was"}},
              "a", "b");
    EXPECT_NE(Settings().find("File%20Extensions=\"*.nfo *.diz *.txt *.doc \""), std::string::npos);
    EXPECT_NE(Settings().find("Search%20String=hello"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "Quillery "));

    fs::remove(work / "Quillery 0.67 .Log");
    WriteFileBytes(work / "audit.txt", "nothing\r\nthere\r\n");
    r = Run({"-search=ignored", "-folder=" + Text(zips), "-audit"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "There were 2 files that contained strings from the Audit file, from a total of 3 "
              "files\n");
    ExpectLog({{"ARGS", "-search=ignored -folder=" + zips.string() + " -audit"},
               {"AUDIT", "Using Audit File\r\n"},
               {"MATCHED", "strings from \"Audit.TXT\" file"}},
              "a", "c");
}

TEST_F(BinaryRun, ExitStatusSaysWhetherAnythingMatchedOrWhyNothingRan) {
    const std::string stored =
        "[General]\nAudit=0\nFile%20Extensions=*.nfo *.txt \nIntView=1\n"
        "Search%20Path=/data/zips\nSearch%20String=starfield\nShowSize=1\nSubFolder=1\n"
        "Version=0.67\n";
    fs::create_directories(config / "Velmora");
    WriteFileBytes(config / "Velmora" / "Quillery .conf", stored);
    struct Case {
        QStringList arguments;
        int exitCode;
        QString out, err;
    };
    const std::vector<Case> cases = {
        {{}, 2, "", "no display"},
        {{"-search=hello"}, 2, "", "no display"},
        {{"-folder=" + Text(zips)}, 2, "", "no display"},
        {{"-folder=" + Text(zips), "-audit"},
         2,
         "",
         "You must enter a Search String, before Scanning can begin."},
        {{"-folder=" + Text(zips), "-search=absent", "-extensions=*.txt"},
         1,
         "There were 0 files that contained \"absent \", from a total of 3 files\n",
         ""},
        // A value ends at the next "-": this folder is "<zips>/my", which does not exist.
        {{"-folder=" + Text(zips) + "/my-zips", "-search=hello"},
         1,
         "There were 0 files that contained \"hello\", from a total of 0 files\n",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Result r = Run(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        if (c.err == "no display") {
            EXPECT_EQ(Settings(), stored);
            EXPECT_FALSE(fs::exists(work / "Quillery 0.67 .Log"));
        }
    }
    EXPECT_NE(ReadFileBytes(work / "Quillery 0.67 .Log").find("Using File Extensions \"*.txt\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "Quillery "));
}

}  // namespace
}  // namespace quillery::test
