#!/usr/bin/env bash
# The demonstration, run inside directory/sandbox with the administration servers started:
# what the library reads, then a change made through the administration server and read back.
set -euo pipefail
tool=${1:?path of the zngroups tool}
password_file=$(mktemp)
trap 'rm -f "$password_file"' EXIT
printf 'Tr0ubadour\n' >"$password_file"   # asmith, the sample company's administrator

"$tool" overview
echo
echo "== A change through the administration server =="
echo "\$ zngroups change --user asmith add-member ENG-ALUMNI egray"
"$tool" change --user asmith --password-file "$password_file" add-member ENG-ALUMNI egray
echo "\$ zngroups change --user asmith set-description ENG-ALUMNI 'Former staff, kept in touch'"
"$tool" change --user asmith --password-file "$password_file" set-description ENG-ALUMNI \
  'Former staff, kept in touch'
echo "\$ zngroups change --user asmith add-subgroup ENG-ALL ENG-ALUMNI"
"$tool" change --user asmith --password-file "$password_file" add-subgroup ENG-ALL ENG-ALUMNI
echo "\$ zngroups change --user jdoe add-member ENG-ALUMNI bwhite   (jdoe owns nothing here)"
printf 'secret\n' >"$password_file"
"$tool" change --user jdoe --password-file "$password_file" add-member ENG-ALUMNI bwhite || true
echo
echo "\$ zngroups group ENG-ALUMNI"
"$tool" group ENG-ALUMNI
echo "\$ zngroups status 1"
"$tool" status 1
echo "\$ zngroups logs ENG-ALUMNI"
"$tool" logs ENG-ALUMNI
