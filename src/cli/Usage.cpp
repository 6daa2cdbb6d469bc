#include "cli/Usage.h"

#include "settings/Product.h"

namespace quillery {

QString VersionLine() {
    return kProductName + kVersionNumber.trimmed();
}

QString UsageText() {
    return QStringLiteral(
        "Usage: quillery [--folder DIR] [--search TEXT] [--extensions PATTERNS] [--audit]\n"
        "                [--audit-file FILE] [--all-archives] [--no-index] [--list] [--null]\n"
        "                [--expressions] [--case-sensitive] [--word]\n"
        "                [--matches] [--count] [--json] [--color[=WHEN]] [--log FILE]\n"
        "                [--no-log] [--no-messages] [--save-settings]\n"
        "   or: quillery -folder=DIR -search=TEXT [-extensions=PATTERNS] [-audit]\n"
        "                [-allarchives] [-noindex] [-list] [-expressions] [-matchcase]\n"
        "                [-wholewords]\n"
        "   or: quillery --help | -h | --version\n"
        "\n"
        "Finds text inside the archives of a folder tree. With a folder and a search string\n"
        "(or a folder and audit mode) it runs one search without a window and ends; otherwise\n"
        "it opens its window.\n"
        "\n"
        "Options (when the first argument starts with \"--\"; each value is taken exactly as\n"
        "given, as the next argument or after \"=\"):\n"
        "  --folder DIR           the folder to search, with its subfolders\n"
        "  --search TEXT          the search string: a phrase, terms joined by \"&&\" (all\n"
        "                         must occur) or by \"||\" (one suffices); case is ignored\n"
        "  --extensions PATTERNS  the entry patterns (default \"*.nfo *.diz *.txt *.doc\")\n"
        "  --audit                search strings from audit.txt in the working folder\n"
        "  --audit-file FILE      search strings from FILE, one per line\n"
        "  --all-archives         every archive type, not only zip\n"
        "  --expressions, -E      the search string is an expression: terms that are\n"
        "                         regular expressions (RE2; \"a phrase\" in quotes), joined\n"
        "                         by && and ||, negated by !, grouped by ( ); each term is\n"
        "                         matched within a line (the index is not used)\n"
        "  --case-sensitive       letter case counts\n"
        "  --word, -w             terms match whole words only\n"
        "  --no-index             read every archive, without the index\n"
        "  --list                 each matching archive's path on standard output, one per\n"
        "                         line, as found; the summary goes to standard error\n"
        "  --null                 with --list, end each path with a NUL byte (xargs -0)\n"
        "  --matches              each line that holds a match, as ARCHIVE:ENTRY:LINE:TEXT\n"
        "                         (ARCHIVE:INNER:ENTRY:... in an inner archive)\n"
        "  --count                each matching archive's number of matching lines, as\n"
        "                         ARCHIVE:N\n"
        "  --json                 one JSON object per match and one with the counts\n"
        "  --color[=WHEN]         mark matches, paths and line numbers: never (default),\n"
        "                         always, or auto (alone: on a terminal, unless NO_COLOR)\n"
        "  --log FILE             append the run's log entry to FILE, not to the working\n"
        "                         folder's \"Quillery 0.67 .Log\"\n"
        "  --no-log               write no log entry\n"
        "  --no-messages, -s      no line on standard error for a folder or archive that\n"
        "                         cannot be read or is damaged (the exit status still tells)\n"
        "  --save-settings        store the run's folder, search and patterns as the\n"
        "                         window's, as a switch line always does\n"
        "  --help, -h             this text\n"
        "  --version              the version\n"
        "\n"
        "Switches (otherwise; the arguments are one text, letter case counts, a value ends\n"
        "at the next \"-\", the folder value loses surrounding blanks):\n"
        "  -folder=DIR  -search=TEXT  -extensions=PATTERNS  -audit  -allarchives  -noindex\n"
        "  -list  -expressions  -matchcase  -wholewords\n"
        "\n"
        "Exit status: 0 an archive matched, 1 none did, 2 no search took place or it was\n"
        "refused (also for a wrong option, a folder that is not there, patterns that select\n"
        "no entry, an audit file that cannot be read, or output that could not be written),\n"
        "or none matched and a folder or archive could not be read; 130 ended by SIGINT,\n"
        "SIGTERM or SIGHUP.\n"
        "\n"
        "Files:\n"
        "  ./Quillery 0.67 .Log                  the log, one entry appended per run\n"
        "  ./audit.txt                           the audit strings\n"
        "  $XDG_CONFIG_HOME/Velmora/Quillery .conf  the settings (~/.config when unset)\n"
        "  $XDG_CACHE_HOME/Velmora/Quillery/     the index (~/.cache when unset)\n"
        "  $TMPDIR/Quillery /                    the work folder (/tmp when unset),\n"
        "                                        removed when the program ends\n");
}

QString NoDisplayText() {
    return QStringLiteral(
        "quillery: no display to show the window on, and the arguments start no search.\n"
        "Run a search with: quillery --folder FOLDER --search TEXT "
        "(see quillery --help)\n");
}

}  // namespace quillery
