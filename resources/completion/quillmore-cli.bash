# bash completion for quillmore-cli                        -*- shell-script -*-
#
# Stands on its own: bash-completion's helpers are not needed, so the file
# also works sourced by hand on a system without that package.

_quillmore_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]:-}
    local option='' prefix=''

    # "--format=j" reaches us as "--format" "=" "j" while '=' breaks words
    # (bash's default), and as one word when it does not.
    if [[ $cur == = && $prev == --* ]]; then
        option=$prev
        cur=''
    elif [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]:-} == --* ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        prefix=$option=
        cur=${cur#*=}
    elif [[ $prev == -* ]]; then
        option=$prev
    fi

    # Whether an earlier word makes the free words something other than files:
    # --history reads no input, --forget takes numbers, and after "--" every
    # word is a file, even one that starts with a dash.
    local i word history='' numbers='' ended=''
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --) ended=1; break ;;
        --history) history=1 ;;
        --forget) numbers=1 ;;
        esac
    done

    if [[ -z $ended ]]; then
        case $option in
        --output | --key-file | --summary)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -f -- "$cur")
            return
            ;;
        --format)
            # The history is written as csv or jsonl only.
            local formats='csv jsonl text'
            [[ -n $history ]] && formats='csv jsonl'
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "$formats" -- "$cur")
            return
            ;;
        --pause | --parallel | --rate | --max-failures | --reuse | --since | \
            --region | --column | --country-column)
            # A number, a date, a country code or a column: nothing to offer,
            # and file names would only mislead.
            COMPREPLY=()
            return
            ;;
        esac

        if [[ $cur == -* ]]; then
            local options='--output --format --key-file --pause --parallel --rate
                --max-failures --resume --reuse --region --skip-invalid --dry-run
                -q --quiet --summary --history --since --forget --column
                --country-column -h --help --version'
            mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
            return
        fi

        if [[ -n $history || -n $numbers ]]; then
            COMPREPLY=()
            return
        fi
    fi

    # Inputs: a list of numbers in any plain file, or a contact table; folders
    # are offered too, to go down into.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
} &&
    complete -F _quillmore_cli quillmore-cli

# ex: filetype=sh
