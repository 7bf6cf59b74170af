# Bash completion for quvexa-convert: its options, the output type codes and
# the captions of the type's choice lists. Options, codes and captions are
# asked of the program itself (--help, --list-types, --list-options), so
# they are always those of the installed version.

# Splits the command line up to the cursor as the shell will, quotes and
# backslashes removed. Sets _quvexa_words (the last one is the word being
# completed, possibly empty) and _quvexa_quote (the quote left open, if any).
_quvexa_convert_split() {
  local text=$1 word='' quote='' c i inword=0
  _quvexa_words=()
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    if [[ $quote == "'" ]]; then
      if [[ $c == "'" ]]; then quote=''; else word+=$c; fi
    elif [[ $quote == '"' ]]; then
      if [[ $c == '"' ]]; then
        quote=''
      elif [[ $c == '\' && ${text:i+1:1} == [\"\\\$\`] ]]; then
        word+=${text:i+1:1}
        ((i++))
      else
        word+=$c
      fi
    elif [[ $c == '\' ]]; then
      word+=${text:i+1:1}
      ((i++))
      inword=1
    elif [[ $c == "'" || $c == '"' ]]; then
      quote=$c
      inword=1
    elif [[ $c == [[:space:]] ]]; then
      ((inword)) && _quvexa_words+=("$word")
      word=''
      inword=0
    else
      word+=$c
      inword=1
    fi
  done
  _quvexa_words+=("$word")
  _quvexa_quote=$quote
}

# The output type the words choose with -t/--type (500 when none does).
_quvexa_convert_type() {
  local type=500 i w n=$((${#_quvexa_words[@]} - 1))
  for ((i = 1; i < n; i++)); do
    w=${_quvexa_words[i]}
    case $w in
      --) break ;;
      -t | --type) ((i + 1 < n)) && type=${_quvexa_words[i + 1]} ;;
      --type=*) type=${w#--type=} ;;
      -t?*) type=${w#-t} ;;
    esac
  done
  printf '%s\n' "$type"
}

# Captions that the option offers for the type: its own list and the lists
# a video codec choice puts in its place.
_quvexa_convert_captions() {
  local program=$1 option=$2 type=$3 inlist=0
  "$program" --list-options "$type" 2>/dev/null | while IFS= read -r line; do
    case $line in
      "$option ("*) inlist=1 ;;
      "with "*", $option offers instead:") inlist=1 ;;
      "") inlist=0 ;;
      "    "* | "  * "*) [[ $inlist == 1 ]] && printf '%s\n' "${line:4}" ;;
      *) inlist=0 ;;
    esac
  done | awk '!seen[$0]++'
}

# Adds the candidates that start with the typed prefix to COMPREPLY,
# quoted as the command line needs them.
_quvexa_convert_offer() {
  local prefix=$1 candidate quoted head=''
  # Without an open quote the shell replaces only the text after the last
  # ":" or "=" of the word, so leave that part off the candidates.
  local cut=${prefix%"${prefix##*[:=]}"}
  [[ -n $cut ]] && printf -v head '%q' "$cut"
  while IFS= read -r candidate; do
    [[ -n $candidate && $candidate == "$prefix"* ]] || continue
    if [[ -n $_quvexa_quote ]]; then
      quoted=$candidate
    else
      printf -v quoted '%q' "$candidate"
      quoted=${quoted#"$head"}
    fi
    COMPREPLY+=("$quoted")
  done
}

_quvexa_convert() {
  local program=$1 cur prev option value
  COMPREPLY=()
  _quvexa_convert_split "${COMP_LINE:0:COMP_POINT}"
  cur=${_quvexa_words[-1]}
  prev=''
  ((${#_quvexa_words[@]} > 1)) && prev=${_quvexa_words[-2]}

  # "--option=value": complete the value.
  if [[ $cur == --*=* ]]; then
    option=${cur%%=*}
    value=${cur#*=}
  else
    option=$prev
    value=$cur
    [[ $option == --* || $option == -? ]] || option=''
  fi

  case $option in
    -t | --type | --list-options)
      _quvexa_convert_offer "$value" < <("$program" --list-types 2>/dev/null | cut -f1
        [[ $option == --list-options ]] || echo none)
      return
      ;;
    -o | --output-dir)
      compopt -o dirnames 2>/dev/null
      return
      ;;
    --info)
      compopt -o default 2>/dev/null
      return
      ;;
    --ext | -j | --jobs | --cut | --options)
      return
      ;;
    --*)
      local captions
      captions=$(_quvexa_convert_captions "$program" "$option" "$(_quvexa_convert_type)")
      if [[ -n $captions ]]; then
        _quvexa_convert_offer "$value" <<<"$captions"
        return
      fi
      ;;
  esac

  if [[ $cur == -* ]]; then
    _quvexa_convert_offer "$cur" < <("$program" --help 2>/dev/null |
      grep -oE -- '(^|[[:space:],])--?[a-z][a-z-]*' | sed -E 's/^[[:space:],]+//' | sort -u)
    return
  fi
  compopt -o default 2>/dev/null
}

complete -F _quvexa_convert quvexa-convert
