#!/usr/bin/env bash
# The demonstration, run inside directory/sandbox with the administration servers started:
# what the library reads, then a change made through the administration server and read back.
set -euo pipefail
tool=${1:?path of the zngroups tool}
password_file=$(mktemp)
trap 'rm -f "$password_file"' EXIT
printf 'Tr0ubadour\n' >"$password_file"   # asmith, the sample company's administrator
as_asmith=(--user asmith --password-file "$password_file")

"$tool" overview
echo
echo "== A change through the administration server =="
echo "\$ zngroups group add-member ENG-ALUMNI egray --user asmith"
"$tool" group add-member ENG-ALUMNI egray "${as_asmith[@]}"
echo "\$ zngroups group set-description ENG-ALUMNI 'Former staff, kept in touch' --user asmith"
"$tool" group set-description ENG-ALUMNI 'Former staff, kept in touch' "${as_asmith[@]}"
echo "\$ zngroups group add-subgroup ENG-ALL ENG-ALUMNI --user asmith"
"$tool" group add-subgroup ENG-ALL ENG-ALUMNI "${as_asmith[@]}"
echo "\$ zngroups group add-member ENG-ALUMNI bwhite --user jdoe   (jdoe owns nothing here)"
printf 'secret\n' >"$password_file"
"$tool" group add-member ENG-ALUMNI bwhite "${as_asmith[@]/asmith/jdoe}" || true
echo
echo "\$ zngroups group show ENG-ALUMNI"
"$tool" group show ENG-ALUMNI
echo "\$ zngroups group members ENG-ALL --eventual --json"
"$tool" group members ENG-ALL --eventual --json
echo "\$ zngroups change status 1"
"$tool" change status 1
echo "\$ zngroups change log ENG-ALUMNI"
"$tool" change log ENG-ALUMNI
