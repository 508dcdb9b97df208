#!/usr/bin/env bash
# cedevice's bash completion as installed: a bash with bash-completion and
# the installed files only loads it on first use and completes commands,
# value types, key paths (quoted three ways) and value names on a device.
# Usage: completion.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
completions=/usr/share/bash-completion/bash_completion
[ -f "$completions" ] || { echo "bash-completion is not installed"; exit 1; }

export PATH="$work/prefix/bin:$PATH" XDG_DATA_DIRS="$work/prefix/share" CE_DEVICE_DIR="$work/device"
export XDG_DATA_HOME="$work/data" HOME="$work"
cedevice create --sample "$CE_DEVICE_DIR" >/dev/null
cedevice set 'HKCU\SOFTWARE\My Key' 'a "b"' x
cedevice set 'HKCU\SOFTWARE\My Key' 'q"=x' y
# Names from a registry someone else wrote: the completed word must stand
# for the name, never run it.
cedevice set 'HKCU\SOFTWARE\Odd' 'x`y`' 1
cedevice set 'HKCU\SOFTWARE\Odd' "it's" 1
cedevice set 'HKCU\SOFTWARE\Odd' 'k=v' 1
cedevice set 'HKCU\SOFTWARE\Odd' 'ah!ec' 1
cedevice set 'HKCR\.txt' '' txtfile
# A key whose own section comes after its subkey's in the export.
cedevice set 'HKLM\SOFTWARE\Microsoft' Foo 1
# A subkey that the export leaves out (a line break in its path) hides no
# name of the key above it.
printf '\r\n[HKEY_CURRENT_USER\\Soft\\a\rb]\r\n"v"="1"\r\n' | iconv -f utf-8 -t utf-16le >>"$CE_DEVICE_DIR/registry.reg"
cedevice set 'HKCU\Soft' good 1

# Each case: the words up to the cursor, split at "|" as bash splits them
# ("=" a word of its own, as readline breaks words there), then the
# replies expected (one a line, in order): what readline puts in place of
# the last word.
cases=(
  'cedevice|g' 'get'
  'cedevice|' $'create\nget\nset\ndelete\nimport\nexport\nrecord\ncheck-plugin\n--help\n--version'
  "cedevice|get|'HKLM\\SO" "'HKLM\\SOFTWARE\\"
  'cedevice|get|HKLM\\SOFTWARE\\Mi' 'HKLM\\SOFTWARE\\Microsoft\\'
  'cedevice|delete|"hkcu\software\m' '"hkcu\\software\\My Key\\'
  'cedevice|export|HKCU\\SOFTWARE\\My' 'HKCU\\SOFTWARE\\My\ Key\\'
  'cedevice|get|HK' $'HKEY_LOCAL_MACHINE\\\\\nHKEY_CURRENT_USER\\\\\nHKEY_CLASSES_ROOT\\\\\nHKEY_USERS\\\\\nHKLM\\\\\nHKCU\\\\\nHKCR\\\\\nHKU\\\\'
  'cedevice|get|HKCR\\.' 'HKCR\\.txt\\'
  "cedevice|get|'HKLM\\SOFTWARE\\Microsoft\\CHome'|Pl" 'Plugins'
  "cedevice|get|'HKLM\\SOFTWARE\\Microsoft'|" 'Foo'
  "cedevice|get|'HKCU\\Soft'|g" 'good'
  "cedevice|set|'HKCU\\SOFTWARE\\My Key'|a" "a\\ \\\"b\\\""
  "cedevice|get|'HKCU\\SOFTWARE\\My Key'|q" 'q\"=x'
  "cedevice|set|-t|dword|'HKLM\\SOFTWARE\\Microsoft\\CHome'|C" 'CPRFile'
  'cedevice|set|--type|=|dw' 'dword'
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|\"x" '"x\`y\`'
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|'i" "'it'\\''s"
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|k|=" 'v'
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|K|=" 'v'
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|k'='" 'k=v'
  "cedevice|get|'HKCU\\SOFTWARE\\Odd'|\"a" '"ah"\!"ec'
  'cedevice|set|--type|q' 'qword'
  "cedevice|set|--type|dword|'HKLM\\SOFTWARE\\Microsoft\\CHome'|C" 'CPRFile'
  'cedevice|record|z' 'zandoval'
  # A name with a control character, as the listing escapes it.
  'cedevice|get|HKCU\\Soft\\a' $'$\'HKCU\\\\Soft\\\\a\\rb\\\\\''
)

for ((i = 0; i < ${#cases[@]}; i += 2)); do
  line=${cases[i]} want=${cases[i + 1]}
  got=$(bash --norc --noprofile -c '
    source "$1"
    # What bash sets before it calls a completion function; compopt works
    # only inside a real completion.
    IFS="|" read -ra COMP_WORDS <<<"$2"
    [[ $2 == *"|" ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=${2//|=/=} COMP_LINE=${COMP_LINE//=|/=} COMP_LINE=${COMP_LINE//|/ }
    COMP_POINT=${#COMP_LINE}
    compopt() { :; }
    _completion_loader cedevice
    complete -p cedevice >/dev/null || { echo "no completion for cedevice was loaded"; exit 1; }
    _cedevice cedevice "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' bash "$completions" "$line")
  if [ "$got" != "$want" ]; then
    printf 'completing [%s]\n  want: %s\n  got:  %s\n' "$line" "${want//$'\n'/ }" "${got//$'\n'/ }"
    failed=1
  fi
done
[ -z "${failed:-}" ] && echo "$((${#cases[@]} / 2)) completions as expected"
[ -z "${failed:-}" ]
