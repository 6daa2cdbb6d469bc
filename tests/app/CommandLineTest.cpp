#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "cli/Usage.h"
#include "scan/HostileArchives.h"
#include "support/ArchiveMaker.h"

#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// What the arguments ask for, in a few words.
std::string Described(const ParsedArguments& parsed) {
    using A = ArgumentAction;
    if (parsed.action != A::Start) {
        const bool oneLine = !parsed.error.isEmpty() && !parsed.error.contains('\n');
        return parsed.action == A::Help      ? "help"
               : parsed.action == A::Version ? "version"
               : oneLine                     ? "error"
                                             : "bad error";
    }
    const CommandLineRequest& r = parsed.request;
    const CommandLineSwitches& s = r.switches;
    QStringList parts;
    for (const auto& [name, value] : {std::pair{"folder", s.folder},
                                      {"search", s.search},
                                      {"extensions", s.extensions},
                                      {"auditfile", r.auditFile}}) {
        if (value) {
            parts << QString::fromLatin1(name) + "<" + *value + ">";
        }
    }
    for (const auto& [name, on] : {std::pair{"audit", s.audit},
                                   {"all", s.allArchives},
                                   {"noindex", s.noIndex},
                                   {"list", r.list},
                                   {"null", r.nullEnds},
                                   {"words", r.separateWords}}) {
        if (on) {
            parts << QString::fromLatin1(name);
        }
    }
    return parts.join(' ').toStdString();
}

TEST(CommandLineTest, ArgumentsStartingWithTwoDashesAreOptionsWithValuesTakenAsGiven) {
    const std::pair<QStringList, std::string> cases[] = {
        {{"--folder", "/data/my zips-1", "--search", "-x \"q\" "},
         "folder</data/my zips-1> search<-x \"q\" > words"},
        {{"--folder= /a-b ", "--extensions", "*.txt", "--list", "--null"},
         "folder< /a-b > extensions<*.txt> list null words"},
        {{"--audit-file", "my-list.txt", "--all-archives", "--no-index", "--search", "a",
          "--search", "b"},
         "search<a> auditfile<my-list.txt> audit all noindex words"},
        {{"--folder="}, "folder<> words"},
        {{"--audit"}, "audit words"},
        // The switch line, "-list" found like "-audit".
        {{"-folder=/data/my-zips", "-search=x", "-list"}, "folder</data/my> search<x > list"},
        {{"-search=x-allarchives", "-noindex"}, "search<x> all noindex"},
        // Switches are case-sensitive substrings; a search value keeps its blank.
        {{"-search=invoice", "-folder=C:\\zips"}, "folder<C:\\zips> search<invoice >"},
        {{"-Folder=/zips -search=\"two words\" -search=b"}, "search<\"two words\" >"},
        {{"-extensions=*.txt *.nfo -search=x-audit"}, "search<x> extensions<*.txt *.nfo > audit"},
        {{"-h", "x"}, ""},
        {{"--help"}, "help"},
        {{"-h"}, "help"},
        {{"--list", "--help"}, "help"},
        {{"--version"}, "version"},
        {{"--folder"}, "error"},
        {{"--search", "x", "--frobnicate"}, "error"},
        {{"--folder", "a", "b"}, "error"},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(Described(ParseArguments(arguments)), expected)
            << arguments.join('|').toStdString();
    }
}

// The usage text, the manual page and the parser know the same options.
TEST(CommandLineTest, HelpTextAndManualPageListTheSameOptions) {
    const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-zA-Z][a-z-]*=?"));
    const auto options = [&option](const QString& text) {
        std::set<QString> found;
        for (auto it = option.globalMatch(text); it.hasNext();) {
            found.insert(it.next().captured());
        }
        return found;
    };
    QFile manual(QStringLiteral(QUILLERY_MANUAL));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    QString page = QString::fromUtf8(manual.readAll());
    page.truncate(page.indexOf(QStringLiteral("# EXAMPLES")));  // shell commands there

    std::set<QString> expected{"-h",       "-s",           "-E",         "-w",           "-folder=",
                               "-search=", "-extensions=", "-audit",     "-allarchives", "-noindex",
                               "-list",    "-expressions", "-matchcase", "-wholewords"};
    for (const QString& name : LongOptionNames()) {
        expected.insert("--" + name);
    }
    EXPECT_EQ(options(UsageText()), expected);
    EXPECT_EQ(options(page), expected);
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

    QProcessEnvironment Environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(name);
        }
        env.insert("HOME", Text(home / ""));
        env.insert("XDG_CONFIG_HOME", Text(config));
        env.insert("XDG_CACHE_HOME", Text(home / "cache"));
        env.insert("TMPDIR", Text(tmp));
        env.insert("XDG_RUNTIME_DIR", Text(tmp));
        return env;
    }
    // Starts the program, or the given one (bash, to set up what only a shell can).
    void Start(QProcess& process, const QStringList& arguments, const QProcessEnvironment& env,
               const QString& program = QStringLiteral(QUILLERY_BINARY)) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(Text(work));
        // The child takes the signals as a user's shell would give them, whatever the
        // test runner ignores.
        process.setChildProcessModifier([] {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGHUP, SIG_DFL);
        });
        process.start(program, arguments);
    }
    Result Run(const QStringList& arguments) { return Run(arguments, Environment()); }
    Result Run(const QStringList& arguments, const QProcessEnvironment& env,
               const QString& program = QStringLiteral(QUILLERY_BINARY)) {
        QProcess process;
        Start(process, arguments, env, program);
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

TEST_F(BinaryRun, ExitStatusSaysWhetherAnythingMatchedOrWhyNothingRanAndLeavesTheSettingsAlone) {
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
        bool display = false;  // help and version never open one
    };
    // Status 2 with the message given, or 1 with the summary of a run that found nothing.
    const auto fails = [](QStringList arguments, const QString& err) {
        return Case{std::move(arguments), 2, "", err};
    };
    const auto noMatch = [](QStringList arguments, const QString& summary) {
        return Case{std::move(arguments), 1,
                    "There were 0 files that contained " + summary + " files\n", ""};
    };
    const QString none = Text(zips / "none"), file = Text(zips / "a.zip");
    const std::vector<Case> cases = {
        {{"--help"}, 0, UsageText(), ""},
        {{"-h"}, 0, UsageText(), "", true},
        {{"--version"}, 0, "Quillery 0.67\n", "", true},
        fails({}, "no display"),
        fails({"-search=hello"}, "no display"),
        fails({"-folder=" + Text(zips)}, "no display"),
        // Options and values: a folder that cannot be searched is refused, naming it.
        fails({"--folder", none, "--search", "hello"},
              "quillery: " + none + ": No such file or directory\n"),
        fails({"--folder", file, "--search", "hello"}, "quillery: " + file + ": Not a directory\n"),
        fails({"--folder=~/zips", "--search=hello"},
              "quillery: ~/zips: No such file or directory (the shell does not expand ~ after =: "
              "write --folder ~/...)\n"),
        // ... and so are patterns that select no entry (a pattern starts with "*.") and an
        // audit file that cannot be read, the default one or the one named.
        fails({"--folder", Text(zips), "--search", "hello", "--extensions", "*"},
              "quillery: no entry pattern in '*'; patterns look like *.txt\n"),
        fails({"--folder", Text(zips), "--audit"},
              "quillery: audit.txt: No such file or directory\n"),
        fails({"--folder", Text(zips), "--audit-file", "none.txt"},
              "quillery: none.txt: No such file or directory\n"),
        // A switch line leaves them to the run, as it always has.
        fails({"-folder=" + Text(zips), "-audit"},
              "quillery: You must enter a Search String, before Scanning can begin.\n"),
        noMatch({"-folder=" + Text(zips), "-search=hello", "-extensions=*"},
                "\"hello \", from a total of 3"),
        noMatch({"-folder=" + Text(zips), "-search=absent", "-extensions=*.txt"},
                "\"absent \", from a total of 3"),
        // A value ends at the next "-": this folder is "<zips>/my", which does not exist.
        noMatch({"-folder=" + Text(zips) + "/my-zips", "-search=hello"},
                "\"hello\", from a total of 0"),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcessEnvironment env = Environment();
        if (c.display) {
            env.insert("DISPLAY", ":nowhere");
        }
        const Result r = Run(c.arguments, env);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(c.exitCode == 0 ? r.err.isEmpty() : r.err.contains(c.err))
            << r.err.toStdString();
        // Nothing ran: nothing stored, nothing logged.
        const bool refused = c.arguments.value(0).startsWith("--") && c.exitCode == 2;
        if (c.exitCode == 0 || c.err == "no display" || refused) {
            EXPECT_EQ(Settings(), stored);
            EXPECT_FALSE(fs::exists(work / "Quillery 0.67 .Log"));
        }
    }
    EXPECT_NE(ReadFileBytes(work / "Quillery 0.67 .Log").find("Using File Extensions \"*.txt\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "Quillery "));
}

TEST_F(BinaryRun, ListedPathsAreTheLoggedMatchesInWalkOrder) {
    // A folder that no switch line can name; the same values as switches elsewhere.
    const fs::path odd = root / "my zips-1";
    fs::create_directories(odd / "sub");
    for (const char* name : {"a.zip", "b.zip", "c.zip"}) {
        fs::copy_file(zips / name, odd / name);
        fs::copy_file(zips / name, odd / "sub" / name);
    }
    const QString oddText = QString::fromStdString(odd.string());
    Result r = Run({"--folder", oddText, "--search", "hello", "--list"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.endsWith("There were 4 files that contained \"hello\", from a total of 6 files\n"))
        << r.err.toStdString();
    const QString log = QString::fromStdString(Log());
    const qsizetype listAt = log.lastIndexOf("\r\n\r\n\r\n") + 6;
    EXPECT_EQ(r.out, log.mid(listAt).replace("\r\n", "\n").chopped(1));
    EXPECT_TRUE(
        log.contains("Ran with Command Line \"--folder " + oddText + " --search hello --list\""));

    const QString lines = r.out;
    r = Run({"--folder=" + oddText, "--search=hello", "--list", "--null"});
    EXPECT_EQ(r.out, QString(lines).replace('\n', QChar(0)));

    // --log appends the entry to another file, --no-log writes none.
    fs::remove(work / "Quillery 0.67 .Log");
    const fs::path elsewhere = root / "elsewhere.log";
    r = Run({"--folder", oddText, "--search", "hello", "--log", Text(elsewhere)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_NE(ReadFileBytes(elsewhere).find("--log " + elsewhere.string() + "\""),
              std::string::npos);
    r = Run({"--folder", oddText, "--search", "hello", "--no-log"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(fs::exists(work / "Quillery 0.67 .Log"));
}

// Output that cannot be written ends the run with a message and status 2; a pipe whose
// reader has gone only stops it, quietly.
TEST_F(BinaryRun, OutputThatCannotBeWrittenIsAWriteError) {
    const struct {
        const char* name;
        const char* list;   // "--list" or ""
        const char* shell;  // how the program's standard output is set up
        const char* error;  // the message ending standard error, or nullptr for none
    } rows[] = {
        {"the list on a full disk", "--list", R"(exec "$0" "$@" >/dev/full)",
         "quillery: write error: No space left on device\n"},
        {"the summary on a full disk", "", R"(exec "$0" "$@" >/dev/full)",
         "quillery: write error: No space left on device\n"},
        {"a closed standard output", "--list", R"(exec "$0" "$@" >&-)",
         "quillery: write error: Bad file descriptor\n"},
        {"a pipe nobody reads", "--list", R"("$0" "$@" | true; exit "${PIPESTATUS[0]}")", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList arguments = {"-c",       row.shell,  QStringLiteral(QUILLERY_BINARY),
                                 "--folder", Text(zips), "--search",
                                 "hello"};
        if (*row.list != '\0') {
            arguments.push_back(row.list);
        }
        const Result r = Run(arguments, Environment(), "bash");
        if (row.error != nullptr) {
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_TRUE(r.err.endsWith(row.error)) << r.err.toStdString();
        } else {
            EXPECT_FALSE(r.err.contains("write error")) << r.err.toStdString();
        }
    }
}

// A run given as options names every folder and archive it could not read on standard
// error and goes on; nothing matched and something unreadable is status 2. A switch line
// keeps quiet about them, as it always has.
TEST_F(BinaryRun, WhatCannotBeReadIsNamedAndTheStatusTellsIt) {
    const fs::path bad = root / "bad";
    fs::create_directories(bad / "sub");
    fs::copy_file(zips / "a.zip", bad / "good.zip");
    WriteFileBytes(bad / "junk.zip", "PK\x03\x04 not really");
    const std::string whole = ReadFileBytes(zips / "a.zip");
    WriteFileBytes(bad / "sub" / "cut.zip", whole.substr(0, whole.size() / 2));
    fs::create_symlink(bad / "gone.zip", bad / "dangling.zip");
    std::set<QString> lines = {
        "quillery: " + Text(bad / "junk.zip") + ": not an archive, or damaged",
        "quillery: " + Text(bad / "sub" / "cut.zip") + ": not an archive, or damaged",
        "quillery: " + Text(bad / "dangling.zip") + ": No such file or directory",
    };
    // Permissions hold only for a user other than root.
    if (::geteuid() != 0) {
        fs::create_directories(bad / "locked");
        fs::permissions(bad / "locked", fs::perms::none);
        lines.insert("quillery: " + Text(bad / "locked") + ": Permission denied");
    }
    const auto problemLines = [](const QString& err) {
        std::set<QString> found;
        for (const QString& line : err.split('\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith("There were")) {
                found.insert(line);
            }
        }
        return found;
    };
    const QString folder = Text(bad);
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        bool named;  // the lines above on standard error
    } rows[] = {
        {"a match", {"--folder", folder, "--search", "hello", "--list"}, 0, true},
        {"no match", {"--folder", folder, "--search", "absent", "--list"}, 2, true},
        {"no match, quietly", {"--folder", folder, "--search", "absent", "--list", "-s"}, 2, false},
        {"no match, quietly (long)",
         {"--folder", folder, "--search", "absent", "--no-messages"},
         2,
         false},
        {"a switch line", {"-folder=" + folder, "-search=absent", "-list"}, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Result r = Run(row.arguments);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err.toStdString();
        EXPECT_EQ(problemLines(r.err), row.named ? lines : std::set<QString>{});
        // Counted as examined, as the log has always counted them.
        EXPECT_TRUE(r.err.contains("from a total of 4 files") ||
                    r.out.contains("from a total of 4 files"))
            << r.err.toStdString();
    }
    if (fs::exists(bad / "locked")) {
        fs::permissions(bad / "locked", fs::perms::owner_all, fs::perm_options::add);
    }
}

// A run given as options leaves the window's remembered values alone unless told to store
// its own; a folder named by bytes that are not UTF-8 is searched as given.
TEST_F(BinaryRun, OptionsKeepTheWindowsValuesAndTakeTheFolderAsItsBytes) {
    Run({"-folder=" + Text(zips), "-search=hello"});
    const std::string stored = Settings();
    ASSERT_NE(stored.find("Search%20String=hello"), std::string::npos);
    Result r = Run({"--folder", Text(zips), "--search", "nothing"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Settings(), stored);
    r = Run({"--folder", Text(zips), "--search", "nothing", "--save-settings"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(Settings().find("Search%20String=nothing"), std::string::npos);
    // The window's search options stay as the window stored them, whatever a run's switches.
    WriteFileBytes(config / "Velmora" / "Quillery .conf",
                   "[General]\nExpressions=1\nWholeWords=1\n");
    Run({"-folder=" + Text(zips), "-search=hello"});
    EXPECT_NE(Settings().find("Expressions=1"), std::string::npos);
    EXPECT_NE(Settings().find("WholeWords=1"), std::string::npos);
    EXPECT_NE(Settings().find("MatchCase=0"), std::string::npos);

    const std::string odd = (root / "caf").string() + "\xe9";  // Latin-1, not UTF-8
    fs::create_directories(odd);
    fs::copy_file(zips / "a.zip", fs::path(odd) / "a.zip");
    QProcess process;  // standard output read as bytes
    Start(process,
          {"-c", R"sh(exec "$0" --folder "$(printf '%s\351' "$1")" --search hello --list)sh",
           QStringLiteral(QUILLERY_BINARY), Text(root / "caf")},
          Environment(), "bash");
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), odd + "/a.zip\n");
}

// --matches, --count and --json show each matching entry's lines as the tests wrote them:
// decoded (code page 437 for an .nfo), in an inner archive, in an archive whose name is not
// UTF-8; an audit run says which strings it found.
TEST_F(BinaryRun, MatchesCountsAndJsonShowWhatMatchedWhere) {
    const fs::path shown = root / "shown";
    fs::create_directories(shown);
    MakeZip(root / "inner.zip", {{"deep/notes.txt", "no\nthe needle, deep\n"}});
    MakeZip(shown / "a.zip", {{"art.nfo", "\xC9\xCD needle \xBA\r\nplain\r\n"},
                              {"inner.zip", ReadFileBytes(root / "inner.zip")},
                              {"other.txt", "nothing"}});
    const std::string odd = (shown / "caf").string() + "\xE9.zip";  // Latin-1, not UTF-8
    MakeZip(odd, {{"x.txt", "Needle\tand needle\n"}});
    WriteFileBytes(work / "strings.txt", "needle\r\nplain\r\n");
    const std::string a = (shown / "a.zip").string();
    const auto run = [&](const QStringList& options, QString* err = nullptr) {
        QProcess process;
        Start(process, QStringList{"--folder", Text(shown), "--all-archives", "--no-log"} + options,
              Environment());
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        if (err != nullptr) {
            *err = QString::fromUtf8(process.readAllStandardError());
        }
        std::multiset<std::string> lines;
        std::istringstream out(process.readAllStandardOutput().toStdString());
        for (std::string line; std::getline(out, line);) {
            lines.insert(line);
        }
        return lines;
    };
    EXPECT_EQ(run({"--search", "needle", "--matches"}),
              (std::multiset<std::string>{a + ":art.nfo:1:\u2554\u2550 needle \u2551",
                                          a + ":inner.zip:deep/notes.txt:2:the needle, deep",
                                          odd + ":x.txt:1:Needle^Iand needle"}));
    EXPECT_EQ(run({"--search", "needle", "--count", "--matches"}),
              (std::multiset<std::string>{a + ":2", odd + ":1"}));
    QString err;
    EXPECT_EQ(
        run({"--audit-file", "strings.txt", "--matches"}, &err),
        (std::multiset<std::string>{a + ":art.nfo:1:\"needle\":\u2554\u2550 needle \u2551",
                                    a + ":art.nfo:2:\"plain\":plain",
                                    a + ":inner.zip:deep/notes.txt:2:\"needle\":the needle, deep",
                                    odd + ":x.txt:1:\"needle\":Needle^Iand needle"}));
    EXPECT_TRUE(
        err.contains("quillery: audit strings found: \"needle\" in 2 archives, \"plain\" "
                     "in 1 archive\n"))
        << err.toStdString();
    // Colours only when asked for (standard output is no terminal here).
    for (const QString& when : {QString("--color"), QString("--color=never")}) {
        for (const std::string& line : run({"--search", "needle", "--matches", when})) {
            EXPECT_EQ(line.find('\033'), std::string::npos) << line;
        }
    }
    const std::multiset<std::string> colored =
        run({"--search", "needle", "--matches", "--color=always"});
    ASSERT_EQ(colored.size(), 3U);
    EXPECT_NE(colored.begin()->find("\033[01;31m\033[Kneedle\033[m\033[K"), std::string::npos);

    // JSON: an object per hit, each line parses, and the counts last.
    std::vector<QJsonObject> objects;
    for (const std::string& line : run({"--search", "needle", "--json"})) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        objects.push_back(document.object());
    }
    ASSERT_EQ(objects.size(), 5U);
    std::multiset<QString> hits;
    for (const QJsonObject& o : objects) {
        if (o["type"] == "summary") {
            EXPECT_EQ(o["checked"].toInt(), 2);
            EXPECT_EQ(o["matched"].toInt(), 2);
            EXPECT_EQ(o["entries"].toInt(), 3);
            EXPECT_EQ(o["lines"].toInt(), 3);
            EXPECT_EQ(o["hits"].toInt(), 4);
            continue;
        }
        const QString text = o["text"].toString();
        const QByteArray utf8 = text.toUtf8();
        hits.insert(
            QFileInfo(o["archive"].toString()).fileName() + "|" +
            (o["inner"].isNull() ? "-" : o["inner"].toString()) + "|" + o["entry"].toString() +
            "|" + QString::number(o["line"].toInt()) + "@" + QString::number(o["offset"].toInt()) +
            "|" +
            QString::fromUtf8(utf8.mid(o["start"].toInt(), o["end"].toInt() - o["start"].toInt())));
    }
    EXPECT_EQ(hits, (std::multiset<QString>{
                        "a.zip|-|art.nfo|1@0|needle", "a.zip|inner.zip|deep/notes.txt|2@3|needle",
                        "caf\uFFFD.zip|-|x.txt|1@0|Needle", "caf\uFFFD.zip|-|x.txt|1@0|needle"}));
}

// -E reads the search string as an expression, -w and --case-sensitive compare as they say;
// a malformed expression is refused, pointing at the place, in both forms.
TEST_F(BinaryRun, ExpressionsWordsAndCaseSelectWhatTheySay) {
    const fs::path texts = root / "texts";
    fs::create_directories(texts);
    MakeZip(texts / "a.zip", {{"readme.txt", "readme: setup\nno generator\n"}});
    MakeZip(texts / "b.zip", {{"readme.txt", "readme\nkeygen inside\n"}});
    MakeZip(texts / "c.zip", {{"info.nfo", "Version v1.20\nthe cd tool\n"}});
    MakeZip(texts / "d.zip", {{"notes.txt", "cdrom only\nV2\n"}});
    const struct {
        QStringList options;
        int exitCode;
        std::set<std::string> listed;  // the archives' names
    } rows[] = {
        {{"-E", "--search", "readme && !keygen"}, 0, {"a.zip"}},
        {{"--expressions", "--search", R"(v[0-9]+\.[0-9]+ && (tool || only))"}, 0, {"c.zip"}},
        {{"-E", "--search", R"("v1.20" || "V2")"}, 0, {"c.zip", "d.zip"}},
        {{"-E", "--search", "^cd"}, 0, {"d.zip"}},
        {{"--search", "cd"}, 0, {"c.zip", "d.zip"}},
        {{"-w", "--search", "cd"}, 0, {"c.zip"}},
        {{"--word", "-E", "--search", "cd|v2"}, 0, {"c.zip", "d.zip"}},
        {{"--case-sensitive", "--search", "V2"}, 0, {"d.zip"}},
        {{"--case-sensitive", "--search", "v2"}, 1, {}},
        {{"-E", "--search", "(a+)+$"}, 1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options.join(' ').toStdString());
        const Result r =
            Run(QStringList{"--folder", Text(texts), "--list", "--no-log"} + row.options);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err.toStdString();
        std::set<std::string> listed;
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts)) {
            listed.insert(fs::path(line.toStdString()).filename().string());
        }
        EXPECT_EQ(listed, row.listed);
    }
    Result r = Run(
        {"--folder", Text(texts), "-E", "--search", "readme && !keygen", "--matches", "--no-log"});
    EXPECT_EQ(r.out, Text(texts / "a.zip") + ":readme.txt:1:readme: setup\n");

    const QString refused =
        "quillery: The search expression is not valid at character 11: a '(' that is not "
        "closed.\n";
    r = Run({"--folder", Text(texts), "-E", "--search", "readme && (keygen"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, refused);
    r = Run({"-folder=" + Text(texts), "-search=readme && (keygen", "-expressions"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(refused)) << r.err.toStdString();
}

// A signal ends a run at the next archive and the program as closing its window does.
TEST_F(BinaryRun, SignalsEndTheProgramAsClosingItsWindowDoes) {
    // So many long matching paths that they fill the pipe: the program waits to write until
    // the test reads, so the signal always arrives in the middle of the run.
    const fs::path many = root / "many" / std::string(150, 'm');
    fs::create_directories(many);
    constexpr int kArchives = 1500;
    for (int i = 0; i < kArchives; ++i) {
        fs::copy_file(zips / "a.zip", many / (std::to_string(i) + ".zip"));
    }
    QProcessEnvironment window = Environment();
    window.insert("DISPLAY", ":nowhere");
    window.insert("QT_QPA_PLATFORM", "offscreen");
    struct Case {
        int signal;
        bool window;
    };
    for (const Case c : {Case{SIGTERM, false}, Case{SIGINT, false}, Case{SIGTERM, true}}) {
        SCOPED_TRACE(c.signal);
        fs::remove(work / "Quillery 0.67 .Log");
        // Stored values that the given folder replaces (asked for on the command line), in
        // the window too.
        fs::create_directories(config / "Velmora");
        WriteFileBytes(config / "Velmora" / "Quillery .conf", "[General]\nSearch%20Path=/x\n");
        const QString folder = QString::fromStdString(many.string());
        QProcess process;
        if (c.window) {
            Start(process, {"--folder", folder}, window);
            for (int i = 0; i < 3000 && !fs::exists(tmp / "Quillery "); ++i) {
                QThread::msleep(10);
            }
        } else {
            Start(process, {"--folder", folder, "--search", "hello", "--list", "--save-settings"},
                  Environment());
            ASSERT_TRUE(process.waitForReadyRead(60000));
        }
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), c.signal), 0);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
        EXPECT_FALSE(fs::exists(tmp / "Quillery "));
        EXPECT_NE(Settings().find("Search%20Path=" + many.string()), std::string::npos);
        if (!c.window) {
            // Every archive listed is in the log of the stopped run, and the run stopped.
            const qsizetype listed = process.readAllStandardOutput().count('\n');
            EXPECT_GT(listed, 0);
            EXPECT_LT(listed, kArchives);
            EXPECT_NE(Log().find("was " + std::to_string(listed) + "\r\n"), std::string::npos);
        }
    }
}

// Every process's parent and resident bytes, from /proc.
struct ProcessTable {
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, std::uint64_t> resident;
};
ProcessTable Processes() {
    ProcessTable table;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = std::stoi(name);
        std::istringstream stat(ReadFileBytes(entry.path() / "stat"));
        std::istringstream statm(ReadFileBytes(entry.path() / "statm"));
        std::string skip;
        pid_t parent = 0;
        std::uint64_t size = 0, pages = 0;
        // pid (comm) state ppid: the name has no blank in our processes.
        if ((stat >> skip >> skip >> skip >> parent) && (statm >> size >> pages)) {
            table.parents[pid] = parent;
            table.resident[pid] = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        }
    }
    return table;
}

// The resident memory of a process and all its descendants, in bytes.
std::uint64_t TreeMemory(pid_t root) {
    ProcessTable table = Processes();
    std::uint64_t total = 0;
    for (const auto& [pid, bytes] : table.resident) {
        for (pid_t p = pid; p > 1; p = table.parents.count(p) != 0 ? table.parents[p] : 0) {
            if (p == root) {
                total += bytes;
                break;
            }
        }
    }
    return total;
}

// The processes whose parent is this one, ended or not.
std::set<pid_t> OwnChildren() {
    std::set<pid_t> children;
    for (const auto& [pid, parent] : Processes().parents) {
        if (parent == ::getpid()) {
            children.insert(pid);
        }
    }
    return children;
}

// Archives that make libarchive loop for ever or grow without bound, beside good archives of
// every type: with every archive type the search ends, lists exactly the good matches,
// names the two on standard error, and keeps its processes small; a signal still ends it
// at once while a reader is stuck. No process of the program outlives it (this process
// adopts any that would).
TEST_F(BinaryRun, HostileArchivesAreNamedAndNeverTakeTheSearchDown) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::set<pid_t> ownChildren = OwnChildren();
    const fs::path mixed = root / "mixed";
    fs::create_directories(mixed);
    WriteFileBytes(mixed / "loop.iso", std::string(kRockRidgeLoopIso));
    WriteFileBytes(mixed / "self.xar", std::string(kXarSelfLink));
    const std::vector<ArchiveFile> found = {{"dir/readme.txt", "the needle is here"}};
    const std::vector<ArchiveFile> missed = {{"dir/readme.txt", "nothing to see"}};
    QStringList expected;
    for (const auto& [name, format, filter] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"a.7z", "7zip", ""},
             {"b.tar.gz", "pax", "gzip"},
             {"c.cpio", "cpio", ""},
             {"d.iso", "iso9660", ""},
             {"e.xar", "xar", ""},
             {"f.zip", "zip", ""},
             {"g.tar.xz", "pax", "xz"}}) {
        WriteArchive(mixed / name, format, filter, found);
        WriteArchive(mixed / ("no-" + name), format, filter, missed);
        expected.push_back(Text(mixed / name));
    }
    expected.sort();

    QProcess process;
    Start(process,
          {"--folder", Text(mixed), "--search", "needle", "--extensions", "*.*", "--all-archives",
           "--no-index", "--list"},
          Environment());
    ASSERT_TRUE(process.waitForStarted());
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t peak = 0;
    while (!process.waitForFinished(50)) {
        peak = std::max(peak, TreeMemory(static_cast<pid_t>(process.processId())));
        ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    }
    EXPECT_LT(peak, std::uint64_t{400} << 20);
    EXPECT_EQ(process.exitCode(), 0);
    QStringList listed =
        QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    listed.sort();
    EXPECT_EQ(listed, expected);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains("quillery: " + Text(mixed / "loop.iso") + ": reader "))
        << err.toStdString();
    EXPECT_TRUE(err.contains("quillery: " + Text(mixed / "self.xar") + ": reader "))
        << err.toStdString();

    // A lone archive, which the walk lists itself, is read by a worker's reader.
    const fs::path lone = root / "lone";
    fs::create_directories(lone);
    WriteArchive(lone / "good.tar", "pax", "", found);
    const Result alone = Run({"--folder", Text(lone), "--search", "needle", "--extensions", "*.*",
                              "--all-archives", "--no-index", "--list"});
    EXPECT_EQ(alone.exitCode, 0) << alone.err.toStdString();

    // A reader that never returns: SIGTERM ends the program, long before the reader's deadline.
    const fs::path stuck = root / "stuck";
    fs::create_directories(stuck);
    WriteFileBytes(stuck / "self.xar", std::string(kXarSelfLink));
    QProcess again;
    Start(again,
          {"--folder", Text(stuck), "--search", "needle", "--extensions", "*.*", "--all-archives",
           "--no-index"},
          Environment());
    ASSERT_TRUE(again.waitForStarted());
    QThread::msleep(1500);  // the reader is stuck by now
    ASSERT_EQ(::kill(static_cast<pid_t>(again.processId()), SIGTERM), 0);
    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(again.waitForFinished(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, kStuckReaderGone);
    EXPECT_EQ(again.exitCode(), 130);
    EXPECT_EQ(OwnChildren(), ownChildren);
}

}  // namespace
}  // namespace quillery::test
