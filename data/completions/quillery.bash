# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The Quillery developers
#
# bash completion for quillery: its options (the form whose first argument starts with
# "--"), folders after --folder, files after --audit-file and --log, the WHEN of --color=.
# Needs nothing but bash; a value is the next argument or follows "=".

_quillery() {
    local cur prev
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev=""
    if [ "$COMP_CWORD" -gt 0 ]; then
        prev="${COMP_WORDS[COMP_CWORD - 1]}"
    fi
    COMPREPLY=()

    # "--opt=value" as one word (an "=" missing from COMP_WORDBREAKS) or as three words
    # ("--opt" "=" "value", bash's default).
    local option="" joined=""
    if [[ "$cur" == --*=* ]]; then
        option="${cur%%=*}"
        cur="${cur#*=}"
        joined="$option="
    elif [ "$cur" = "=" ] && [[ "$prev" == --* ]]; then
        option="$prev"
        cur=""
    elif [ "$prev" = "=" ] && [ "$COMP_CWORD" -gt 1 ]; then
        option="${COMP_WORDS[COMP_CWORD - 2]}"
    elif [[ "$prev" == --* ]]; then
        case "$prev" in
            --folder | --search | --extensions | --audit-file | --log) option="$prev" ;;
        esac
    fi

    case "$option" in
        --folder)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            ;;
        --audit-file | --log)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            ;;
        --color)
            mapfile -t COMPREPLY < <(compgen -W "auto always never" -- "$cur")
            ;;
        --search | --extensions)
            # Free text: nothing to offer.
            ;;
    esac
    if [ -n "$option" ]; then
        # A value written in the option's word keeps the option in front of it.
        if [ -n "$joined" ]; then
            COMPREPLY=("${COMPREPLY[@]/#/"$joined"}")
        fi
        return 0
    fi

    if [[ "$cur" == -* || -z "$cur" ]]; then
        local options="--folder --search --extensions --audit --audit-file --all-archives
            --expressions -E --case-sensitive --word -w
            --no-index --list --null --log --no-log --matches --count --color --color= --json
            --no-messages -s --save-settings --help -h --version"
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        if [ "${#COMPREPLY[@]}" -eq 1 ] && [[ "${COMPREPLY[0]}" == *= ]]; then
            compopt -o nospace 2>/dev/null
        fi
    fi
    return 0
}

complete -F _quillery quillery
