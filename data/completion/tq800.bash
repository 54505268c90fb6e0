# bash completion for tq800, tq800-log and tq800-sim; installed once under
# each name.
#
# The options, and what each takes, are read from the program's own --help
# (once a shell for each program), so they are those of the program run:
# a value named DEVICE completes the serial devices, FILE and PATH files,
# DIR and FOLDER folders, ID the stored recordings, and a value or text of
# the form a|b|c its choices.

declare -gA _tq800_help

# The options of program $1, one "NAME VALUE-NAME TEXT" line each (VALUE-NAME
# "-" for an option that takes none).
_tq800_options()
{
    local program=$1
    if [[ -z ${_tq800_help[$program]+set} ]]; then
        _tq800_help[$program]=$(
            "$program" --help 2>/dev/null | while IFS= read -r line; do
                [[ $line == "  -"* ]] || continue
                line=${line#  }
                local optnames=${line%%  *} text=
                [[ $line == *"  "* ]] && text=${line#*  } && text=${text#"${text%%[! ]*}"}
                local name rest
                IFS=',' read -ra names <<< "$optnames"
                for name in "${names[@]}"; do
                    name=${name# }
                    [[ $name == --* ]] || continue
                    rest=-
                    [[ $name == *" "* ]] && rest=${name#* } && name=${name%% *}
                    rest=${rest#<}
                    printf '%s %s %s\n' "$name" "${rest%>}" "$text"
                done
            done)
    fi
    printf '%s\n' "${_tq800_help[$program]}"
}

# The serial devices present, and the stable names udev gives them.
_tq800_devices()
{
    local d
    for d in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/serial/by-id/* /dev/tq800*; do
        [[ -e $d ]] && printf '%s\n' "$d"
    done
}

_tq800()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev= program=${COMP_WORDS[0]}
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--port=/dev/tt" arrives as "--port" "=" "/dev/tt".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    local name value text
    if [[ $prev == --* ]]; then
        while read -r name value text; do
            [[ $name == "$prev" ]] || continue
            case $value in
                -) break ;;
                DEVICE)
                    if [[ -z $cur || $cur == /dev/* ]]; then
                        mapfile -t COMPREPLY < <(compgen -W "$(_tq800_devices)" -- "$cur")
                    else
                        compopt -o filenames 2>/dev/null
                        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                    fi ;;
                FILE* | PATH)
                    compopt -o filenames 2>/dev/null
                    mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
                DIR | FOLDER)
                    compopt -o filenames 2>/dev/null
                    mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
                ID)
                    local journal=() i
                    for ((i = 1; i < COMP_CWORD; i++)); do
                        [[ ${COMP_WORDS[i]} == --journal ]] && journal=(--journal "${COMP_WORDS[i + 1]}")
                    done
                    mapfile -t COMPREPLY < <(compgen -W "$("$program" "${journal[@]}" --list-recordings \
                        2>/dev/null | cut -f1)" -- "$cur") ;;
                *)
                    local choices=
                    [[ $value == *"|"* ]] && choices=$value
                    [[ -z $choices ]] && choices=$(grep -o '[a-z0-9]\+\(|[a-z0-9]\+\)\+' <<< "$text" | head -n1)
                    [[ -n $choices ]] && mapfile -t COMPREPLY < <(compgen -W "${choices//|/ }" -- "$cur") ;;
            esac
            return
        done < <(_tq800_options "$program")
    fi
    if [[ $cur == -* || -z $cur ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_tq800_options "$program" | cut -d' ' -f1)" -- "$cur")
    fi
}

complete -F _tq800 tq800 tq800-log tq800-sim
