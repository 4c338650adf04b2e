# bash completion for tqm4700-ctl
_tqm4700_ctl() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    local commands="ports read save apply set check monitor fit"
    local options="--port --device --baud --settings-dir --trace --timeout --quiet --set --format --voice --target --from --apply --help --version"

    case $prev in
        --port) COMPREPLY=($(compgen -W "$(seq 1 20)" -- "$cur")); return ;;
        --baud) COMPREPLY=($(compgen -W "4800 9600 19200 38400" -- "$cur")); return ;;
        --set) COMPREPLY=($(compgen -W "F R P all" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "text json pef" -- "$cur")); return ;;
        --device) COMPREPLY=($(compgen -f -- "${cur:-/dev/}")); return ;;
        --settings-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --trace) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --timeout) return ;;
        --voice) COMPREPLY=($(compgen -f -X '!*.@(wav|WAV|flac|FLAC|ogg|OGG)' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --from) COMPREPLY=($(compgen -f -X '!*.pef' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --target)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W $'Flat 100-2900 Hz\nDX: low cut, presence boost\nRag chew: warm' -- "$cur"))
            return ;;
    esac

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port|--device|--baud|--settings-dir|--trace|--timeout|--set|--format|--voice|--target|--from) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    else
        case $command in
            save|apply|check) COMPREPLY=($(compgen -f -X '!*.pef' -- "$cur") $(compgen -d -- "$cur")) ;;
            set) COMPREPLY=($(compgen -W "EQ1.FREQ= EQ1.LEVEL= EQ1.BWTH= EQ2.FREQ= EQ2.LEVEL= EQ2.BWTH= EQ3.FREQ= EQ3.LEVEL= EQ3.BWTH=" -- "$cur"))
                 compopt -o nospace 2>/dev/null ;;
        esac
    fi
}
complete -F _tqm4700_ctl tqm4700-ctl
