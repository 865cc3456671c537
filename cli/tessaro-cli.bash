# bash completion for tessaro-cli: commands, options and disc labels.
_tessaro_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="create-catalogue drives add remove discs extensions search info tree duplicates hash update verify watch coverage upgrade-catalogue help"
    local command= catalogue=() i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --catalogue) catalogue=(--catalogue "${COMP_WORDS[i + 1]}"); ((i++)) ;;
        --catalogue=*) catalogue=("${COMP_WORDS[i]}") ;;
        -*) ;;
        *) [[ -z $command ]] && command=${COMP_WORDS[i]} ;;
        esac
    done

    case $prev in
    --catalogue | --root)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --type)
        COMPREPLY=($(compgen -W "CD DVD" -- "${cur^^}"))
        return
        ;;
    --drive)
        COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]}" drives 2>/dev/null | cut -f1)" -- "$cur"))
        return
        ;;
    --disc | --only-here)
        COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]}" "${catalogue[@]}" discs 2>/dev/null | cut -f1)" -- "${cur^^}"))
        return
        ;;
    --file | --contains | --from | --to | --ext | --label | --location | --notes | --min-size | --before | --common)
        return
        ;;
    esac

    local options="--catalogue --help"
    case $command in
    "") options="--catalogue --help --version" ;;
    add) options+=" --type --drive --root --label --archives --no-archives --dot-folders --hash --again --quiet" ;;
    discs) options+=" --count --json --attention --before" ;;
    extensions) options+=" --json" ;;
    search) options+=" --disc --file --contains --name --from --to --ext --count --csv --json --null --quiet" ;;
    duplicates) options+=" --min-size --count --csv --json --null" ;;
    upgrade-catalogue) options+=" --reindex" ;;
    watch) options+=" --add --type --json" ;;
    info | tree | remove | hash | update | verify | coverage)
        case $command in
        hash) options+=" --drive --root" ;;
        update) options+=" --drive --root --dry-run --yes --force --list" ;;
        verify) options+=" --drive --root --json" ;;
        coverage) options+=" --only-here --discardable --common --count --csv --json --null" ;;
        info) options+=" --location --notes --json" ;;
        tree) options+=" --json" ;;
        esac
        if [[ $cur != -* ]]; then
            COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]}" "${catalogue[@]}" discs 2>/dev/null | cut -f1)" -- "${cur^^}"))
            return
        fi
        ;;
    help)
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
        ;;
    esac
    if [[ -z $command && $cur != -* ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
}
complete -F _tessaro_cli tessaro-cli
