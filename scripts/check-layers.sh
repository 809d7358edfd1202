#!/usr/bin/env bash
# Checks that every folder includes only the folders beneath it (docs/architecture.md): the
# layers, bottom-up, and what each may use.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A may_use=(
  [base]=""
  [platform]="base"
  [protocol]=""
  [exchange]="base platform protocol"
  [nmea]="base platform exchange"
  [nmeaio]="base platform protocol exchange nmea"
  [fixstore]="base platform exchange nmea"
  [ports]="base platform protocol exchange nmea nmeaio"
  [server]="base platform protocol exchange nmea nmeaio fixstore ports"
  [client]="base platform protocol exchange nmea"
  [capi]="base protocol client"
)

failed=0
for folder in "${!may_use[@]}"; do
  allowed=" $folder ${may_use[$folder]} "
  while IFS=: read -r file line used; do
    if [[ $allowed != *" $used "* ]]; then
      echo "$file:$line: $folder may not include $used/" >&2
      failed=1
    fi
  done < <(git grep -n -o -E '^#include "[a-z_-]+/' -- "$folder/" |
    sed -E 's/#include "([a-z_-]+)\//\1/')
done
((failed == 0)) && echo "layers: no folder includes one above it"
exit "$failed"
