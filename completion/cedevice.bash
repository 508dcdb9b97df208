# bash completion for cedevice: its commands, the value types of set, the
# key paths and value names of the current device's registry (read with
# cedevice itself, so they are those of $CE_DEVICE_DIR), and files.

# The text of a word as the shell will pass it: quotes and backslash
# escapes removed, an unclosed quote taken as closed.
_cedevice_unquote() {
    local word=$1 out= quote= c i
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ $quote == \' ]]; then
            [[ $c == \' ]] && quote= || out+=$c
        elif [[ $quote == \" ]]; then
            if [[ $c == \" ]]; then
                quote=
            elif [[ $c == \\ && ${word:i+1:1} == [\\\"\$\`] ]]; then
                out+=${word:i+1:1}
                i=$((i + 1))
            else
                out+=$c
            fi
        elif [[ $c == [\'\"] ]]; then
            quote=$c
        elif [[ $c == \\ ]]; then
            out+=${word:i+1:1}
            i=$((i + 1))
        else
            out+=$c
        fi
    done
    printf '%s' "$out"
}

# Adds the candidates that begin with $1 to COMPREPLY, each ending in $2;
# when none does in the same case, those that do in another case (key and
# value names ignore case).
_cedevice_offer() {
    local prefix=$1 suffix=$2 name
    shift 2
    local -a exact=() folded=()
    for name in "$@"; do
        if [[ $name == "$prefix"* ]]; then
            exact+=("$name$suffix")
        elif [[ ${name,,} == "${prefix,,}"* ]]; then
            folded+=("$name$suffix")
        fi
    done
    if ((${#exact[@]})); then
        COMPREPLY+=("${exact[@]}")
    else
        COMPREPLY+=("${folded[@]}")
    fi
}

# Key paths: the roots, then the subkeys that `cedevice get KEY` lists.
# Each ends in a backslash, which cedevice accepts, so that the next Tab
# goes on below it.
_cedevice_keys() {
    local typed=$1 parent line listing name in_subkeys=
    local -a names=()
    if [[ $typed != *\\* ]]; then
        _cedevice_offer "$typed" '\' HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT \
            HKEY_USERS HKLM HKCU HKCR HKU
        return
    fi
    parent=${typed%\\*}
    listing=$(command cedevice get "$parent" 2>/dev/null) || return
    while IFS= read -r line; do
        if [[ $line == subkeys: ]]; then
            in_subkeys=1
        elif [[ $in_subkeys && $line == '  '* ]]; then
            # The listing writes control characters as \t, \r, \n and
            # \xHH; a key's name holds no backslash of its own.
            printf -v name '%b' "${line:2}"
            names+=("$name")
        fi
    done <<<"$listing"
    _cedevice_offer "${typed##*\\}" '\' "${names[@]}"
    local i
    for i in "${!COMPREPLY[@]}"; do
        COMPREPLY[i]=$parent\\${COMPREPLY[i]}
    done
}

# The number of parts of a key path (empty ones, from doubled or closing
# backslashes, do not count).
_cedevice_parts() {
    local part count=0
    local -a parts
    IFS='\' read -ra parts <<<"$1"
    for part in "${parts[@]}"; do
        [[ -n $part ]] && ((count++))
    done
    echo "$count"
}

# The value names of a key, from its own section of its export: the one
# whose path has as many parts as the key's (the others are subkeys, and
# may come first).
_cedevice_values() {
    local key=$1 typed=$2 line name c i
    local -a names=()
    local dump
    # Status 1 with output: something below the key was left out of the
    # export, and the rest is there.
    dump=$(command cedevice export "$key" 2>/dev/null)
    [[ -n $dump ]] || return
    local want inside=
    want=$(_cedevice_parts "$key")
    while IFS= read -r line; do
        line=${line%$'\r'}
        if [[ $line == \[* ]]; then
            line=${line#[}
            inside=
            [[ $(_cedevice_parts "${line%]}") == "$want" ]] && inside=1
        elif [[ $inside && $line == \"* ]]; then
            # Up to the closing quote: \\ and \" stand for \ and ".
            name=
            for ((i = 1; i < ${#line}; i++)); do
                c=${line:i:1}
                if [[ $c == \\ ]]; then
                    i=$((i + 1))
                    name+=${line:i:1}
                elif [[ $c == \" ]]; then
                    break
                else
                    name+=$c
                fi
            done
            names+=("$name")
        fi
    done <<<"$dump"
    _cedevice_offer "$typed" '' "${names[@]}"
}

# Replies are plain text and take the place of the whole word: quote them
# the way that word begins, so that the word stands for the name whatever
# it holds (readline closes the quote).  Names come from registries that
# others wrote: a backtick left bare would run a command.
_cedevice_quote_replies() {
    local quote=$1 i reply
    for i in "${!COMPREPLY[@]}"; do
        reply=${COMPREPLY[i]}
        case $quote in
        \') reply=\'${reply//\'/\'\\\'\'} ;;
        \")
            # A "!" goes outside the quotes, escaped: inside them its
            # backslash would stay, and bare it expands history.
            reply=${reply//\\/\\\\} reply=${reply//\"/\\\"} reply=${reply//\`/\\\`}
            reply=${reply//\$/\\\$} reply=\"${reply//!/\"\\!\"}
            ;;
        *) reply=$(printf '%q' "$reply") ;;
        esac
        COMPREPLY[i]=$reply
    done
}

# Readline replaces only what follows the last character of a bare word
# that breaks words for it ("=" or ":", as COMP_WORDBREAKS says, neither
# escaped nor quoted), where the replies are whole names: each loses as many
# characters as the text up to there holds (they match it, in some case).
# Run before the replies are quoted.
_cedevice_trim_head() {
    local cur=$1 i last=-1 c head quote=
    [[ $cur == [\'\"]* ]] && return
    for ((i = 0; i < ${#cur}; i++)); do
        c=${cur:i:1}
        if [[ $quote == \' ]]; then
            [[ $c == \' ]] && quote=
        elif [[ $c == \\ ]]; then
            i=$((i + 1))
        elif [[ $quote == \" ]]; then
            [[ $c == \" ]] && quote=
        elif [[ $c == [\'\"] ]]; then
            quote=$c
        elif [[ $c != [$' \t\n'] && $COMP_WORDBREAKS == *"$c"* ]]; then
            last=$i
        fi
    done
    ((last >= 0)) || return
    head=$(_cedevice_unquote "${cur:0:last+1}")
    for i in "${!COMPREPLY[@]}"; do
        COMPREPLY[i]=${COMPREPLY[i]:${#head}}
    done
}

_cedevice() {
    local cur prev words cword
    _init_completion -n '=:' || return

    local commands='create get set delete import export record check-plugin'
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    # The arguments after the command, the options of set taken out.
    local command=${words[1]} i
    local -a args=()
    local type_next= want_type=
    for ((i = 2; i < cword; i++)); do
        if [[ $type_next ]]; then
            type_next=
        elif [[ $command == set && (${words[i]} == --type || ${words[i]} == -t) ]]; then
            type_next=1
        elif [[ $command == set && ${words[i]} == --type=* ]]; then
            :
        elif [[ $command == check-plugin && ${words[i]} == --screen ]]; then
            type_next=1
        else
            args+=("$(_cedevice_unquote "${words[i]}")")
        fi
    done
    [[ $command == set && $type_next ]] && want_type=1

    case $command in
    create)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--sample' -- "$cur"))
        else
            _filedir -d
        fi
        return
        ;;
    import)
        _filedir '[rR][eE][gG]'
        return
        ;;
    record)
        ((${#args[@]} == 0)) && COMPREPLY=($(compgen -W 'qorvinstall zandoval' -- "$cur"))
        return
        ;;
    check-plugin)
        if [[ $prev == --screen ]]; then
            return
        elif [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--screen' -- "$cur"))
        else
            _filedir plg
        fi
        return
        ;;
    get | set | delete | export) ;;
    *) return ;;
    esac

    local types='sz expand_sz multi_sz dword qword binary none hex('
    if [[ $command == set && $cur == --type=* && ${#args[@]} -eq 0 ]]; then
        COMPREPLY=($(compgen -P --type= -W "$types" -- "${cur#--type=}"))
        [[ ${COMPREPLY[0]} == '--type=hex(' ]] && compopt -o nospace
        _cedevice_trim_head "$cur"
        return
    fi
    if [[ $want_type ]]; then
        COMPREPLY=($(compgen -W "$types" -- "$cur"))
        [[ ${COMPREPLY[0]} == 'hex(' ]] && compopt -o nospace
        return
    fi
    if [[ $command == set && $cur == -* && ${#args[@]} -eq 0 ]]; then
        COMPREPLY=($(compgen -W '--type' -- "$cur"))
        return
    fi

    local quote=
    [[ $cur == [\'\"]* ]] && quote=${cur:0:1}
    local typed
    typed=$(_cedevice_unquote "$cur")
    COMPREPLY=()
    case ${#args[@]} in
    0)
        _cedevice_keys "$typed"
        [[ ${COMPREPLY[*]} ]] && compopt -o nospace
        ;;
    1) [[ $command != export ]] && _cedevice_values "${args[0]}" "$typed" ;;
    esac
    _cedevice_trim_head "$cur"
    _cedevice_quote_replies "$quote"
} &&
    complete -F _cedevice cedevice
