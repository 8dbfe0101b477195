# bash completion for pgl-cli
_pgl_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="prefixes list report backup uninstall remove restore leftovers desktop-entries remove-prefix dedupe"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in
      --prefix) ((i++)) ;;
      -*) ;;
      *) command="${words[i]}"; break ;;
    esac
  done
  case "$prev" in
    --prefix|--saves-to) _filedir -d; return ;;
    --format) COMPREPLY=($(compgen -W "tsv csv json" -- "$cur")); return ;;
  esac
  if [[ -z "$command" ]]; then
    COMPREPLY=($(compgen -W "$commands --prefix --version --help --help-all" -- "$cur"))
    return
  fi
  local options="--help --prefix"
  case "$command" in
    prefixes) options+=" --format --sizes --duplicates" ;;
    list) options+=" --system-components --no-invalid --only-invalid --format --all-prefixes" ;;
    report) options+=" --system-components --no-invalid --only-invalid --polish" ;;
    backup) ;;
    uninstall) options+=" --yes --polish --quiet --leftovers --dry-run --format" ;;
    remove) options+=" --yes --dry-run --format" ;;
    restore) options+=" --dry-run --yes --polish" ;;
    leftovers) options+=" --remove --all-confidences --dry-run --yes --polish --format" ;;
    desktop-entries) options+=" --remove --dry-run --yes --polish --format" ;;
    remove-prefix) options+=" --saves-to --no-saves --yes --dry-run --format" ;;
    dedupe) options+=" --yes --dry-run" ;;
  esac
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    case "$command" in
      report|backup|restore|remove-prefix) _filedir ;;
    esac
  fi
}
complete -F _pgl_cli pgl-cli
