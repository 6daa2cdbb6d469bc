# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The Quillery developers
#
# fish completion for quillery: its options (the form whose first argument starts with "--");
# a value is the next argument or follows "=".

complete -c quillery -f
complete -c quillery -l folder -x -a '(__fish_complete_directories (commandline -ct))' -d 'The folder to search, with its subfolders'
complete -c quillery -l search -x -d 'The search string'
complete -c quillery -l extensions -x -d 'The entry patterns'
complete -c quillery -l audit -d 'Search strings from audit.txt in the working folder'
complete -c quillery -l audit-file -r -F -d 'Search strings from FILE, one per line'
complete -c quillery -l all-archives -d 'Every archive type, not only zip'
complete -c quillery -s E -l expressions -d 'The search string is an expression: regular expressions, && || ! ( )'
complete -c quillery -l case-sensitive -d 'Letter case counts'
complete -c quillery -s w -l word -d 'Terms match whole words only'
complete -c quillery -l no-index -d 'Read every archive, without the index'
complete -c quillery -l list -d "Each matching archive's path on standard output"
complete -c quillery -l null -d 'With --list, end each path with a NUL byte'
complete -c quillery -l log -r -F -d "Append the run's log entry to FILE"
complete -c quillery -l no-log -d 'Write no log entry'
complete -c quillery -l matches -d 'Show the matches'
complete -c quillery -l count -d 'Show the counts'
complete -c quillery -l color -d 'Mark the matches (--color=WHEN: auto, always or never)'
complete -c quillery -n 'string match -q -- "--color=*" (commandline -ct)' \
    -a '--color=auto --color=always --color=never' -d 'When to mark the matches'
complete -c quillery -l json -d 'Write the results as JSON'
complete -c quillery -s s -l no-messages -d 'No line for a folder or archive that cannot be read'
complete -c quillery -l save-settings -d "Store the run's folder, search and patterns for the window"
complete -c quillery -s h -l help -d 'Print the usage text and end'
complete -c quillery -l version -d 'Print the version and end'
