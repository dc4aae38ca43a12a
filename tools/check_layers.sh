#!/usr/bin/env bash
# check_layers.sh ROOT MANIFEST: fails when an include points up the layers
# (common -> link -> intake -> engine -> analysis -> console/tools, the
# launcher beside console and tools), or when a library or program uses a
# header of a folder none of whose libraries it links. MANIFEST is written by
# the configuration (cmake/Layers.cmake): per target its folder, its sources
# and the folders it links. Tests and benchmarks stand outside the layers.
set -euo pipefail
root=$1 manifest=$2
cd "$root"

folders=(common link intake engine analysis console launcher tools)
declare -A may_use=(
  [common]="common"
  [link]="common link"
  [intake]="common link intake"
  [engine]="common link intake engine"
  [analysis]="common link intake engine analysis"
  [console]="common link intake engine analysis console tools"
  [tools]="common link intake engine analysis console tools"
  [launcher]="common link intake engine analysis launcher"
)
named_folder() { [[ " ${folders[*]} tests bench " == *" $1 "* ]]; }

# Every quoted include of the layer folders, named from the root: "a/b.h"
# as written when it starts with a folder of the tree, else beside the file.
declare -A includes  # file -> "line:path ..."
files=()
while IFS= read -r file; do files+=("$file"); includes[$file]=; done < <(
  find "${folders[@]}" -type f \( -name '*.h' -o -name '*.cc' -o -name '*.cpp' \) | sort)
while IFS=: read -r file line text; do
  name=${text#*\"}; name=${name%%\"*}
  if [[ $name == */* ]] && named_folder "${name%%/*}"; then
    path=$name
  elif [[ -f $(dirname "$file")/$name ]]; then
    path=$(realpath -m --relative-to=. "$(dirname "$file")/$name")
  else
    continue  # a system or generated header
  fi
  includes[$file]+="$line:$path "
done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" /dev/null)

faults=0
fault() { echo "$*" >&2; faults=$((faults + 1)); }

# Up the order: each folder includes only its own and those below it.
for file in "${files[@]}"; do
  folder=${file%%/*}
  for entry in ${includes[$file]}; do
    used=${entry#*:}; used=${used%%/*}
    [[ " ${may_use[$folder]} " == *" $used "* ]] ||
      fault "$file:${entry%%:*}: includes ${entry#*:}, but $folder may use only: ${may_use[$folder]}"
  done
done

# Not linked: the headers a target reaches from its sources, through any
# number of includes, come from its own folder or from folders it links.
targets=0
while IFS=$'\t' read -r target folder sources linked; do
  targets=$((targets + 1))
  declare -A seen=()
  read -ra pending <<<"$sources"
  while ((${#pending[@]})); do
    file=${pending[0]}; pending=("${pending[@]:1}")
    [[ -z ${seen[$file]:-} && -n ${includes[$file]+set} ]] || continue
    seen[$file]=1
    for entry in ${includes[$file]}; do
      path=${entry#*:}; used=${path%%/*}
      [[ " $folder $linked " == *" $used "* ]] ||
        fault "$file:${entry%%:*}: $target uses $path, but links no library of $used/ (links: ${linked:-nothing})"
      pending+=("$path")
    done
  done
  unset seen
done <"$manifest"

if ((faults)); then
  echo "layering: $faults fault(s)" >&2
  exit 1
fi
echo "layering: ${#files[@]} files and $targets targets keep to their layers"
