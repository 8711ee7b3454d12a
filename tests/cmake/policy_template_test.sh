#!/bin/bash
# The administrative template of the session records' policy: every file well-formed XML,
# and every string and presentation the ADMX names defined in both languages (the Group
# Policy editor and Intune refuse a template with one missing), writing the values the
# program reads.
# Usage: policy_template_test.sh FOLDER (app/windows/policies)
set -euo pipefail
folder=$1
admx=$folder/fumilink.admx
fail() { echo "FAIL: $*" >&2; exit 1; }
for file in "$admx" "$folder"/de-DE/fumilink.adml "$folder"/en-US/fumilink.adml; do
  [ -f "$file" ] || fail "$file is missing"
  xmllint --noout "$file" || fail "$file is no well-formed XML"
done
# Without namespaces: xmllint's --xpath has no way to bind the template's default one.
xpath() { xmllint --xpath "$2" "$1"; }
refs=$(grep -o '\$(\(string\|presentation\)\.[A-Za-z0-9_]*)' "$admx" | sort -u)
[ -n "$refs" ] || fail "the ADMX names no strings"
for language in de-DE en-US; do
  adml=$folder/$language/fumilink.adml
  while read -r ref; do
    kind=${ref#\$(}; kind=${kind%%.*}
    id=${ref#*.}; id=${id%)}
    count=$(xpath "$adml" "count(//*[local-name()='$kind'][@id='$id'])")
    [ "$count" = 1 ] || fail "$language: $kind $id is defined $count times"
  done <<< "$refs"
done
# The values Fumilink reads, under the key it reads them from.
for value in Protokolle Protokolltage Protokollordner; do
  count=$(xpath "$admx" "count(//*[@valueName='$value'])")
  [ "$count" = 1 ] || fail "the ADMX writes $value $count times"
done
key=$(xpath "$admx" "string(//*[local-name()='policy'][1]/@key)")
[ "$key" = 'SOFTWARE\Policies\Fumilink' ] || fail "the policies are under $key"
[ "$(xpath "$admx" "count(//*[local-name()='policy'][@key!='$key'])")" = 0 ] ||
  fail "not every policy is under $key"
echo "policy template: ok"
