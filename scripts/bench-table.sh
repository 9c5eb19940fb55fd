#!/usr/bin/env bash
# Turns benchmark ROW lines (stdin) into the performance table:
#   ROW label unit ours_median ours_min ours_max floor_median floor_min floor_max goal
# goal "<=X": our median at most X times the floor's; ">=X": at least X times; "-": information.
set -euo pipefail
awk -F'\t' '
function bad(why) { printf "ignored a malformed ROW line (%s): %s\n", why, $0 > "/dev/stderr" }
{ sub(/\r$/, "") }  # Windows programs end their lines with CR LF
$1 != "ROW" { next }
{
  if (NF != 10) { bad("expected 10 fields, got " NF); next }
  for (i = 4; i <= 9; i++)
    if ($i !~ /^[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?$/) { bad("field " i " is not a number"); next }
  if ($10 !~ /^(-|[<>]=[0-9]+(\.[0-9]+)?)$/) { bad("goal " $10); next }
  n++
  label[n] = $2; unit[n] = $3; ours[n] = $4; omin[n] = $5; omax[n] = $6
  fl[n] = $7; fmin[n] = $8; fmax[n] = $9; goal[n] = $10
  if ($7 + 0 == 0) { ratio[n] = "n/a"; verdict[n] = ($10 == "-") ? "info" : "no floor" }
  else {
    r = $4 / $7; ratio[n] = sprintf("%.2f", r)
    if ($10 == "-") verdict[n] = "info"
    else {
      limit = substr($10, 3) + 0
      ok = (substr($10, 1, 1) == "<") ? (r <= limit) : (r >= limit)
      verdict[n] = ok ? "meets" : "short"
    }
  }
  if (length($2) > w) w = length($2)
}
END {
  if (n == 0) { print "no benchmark rows"; exit 0 }
  if (w < 8) w = 8
  fmt = "%-" w "s  %-9s %12s %22s %12s %22s %6s %6s  %s\n"
  printf fmt, "measured", "unit", "ours", "(min..max)", "floor", "(min..max)", "ratio", "goal", "verdict"
  for (i = 1; i <= n; i++)
    printf fmt, label[i], unit[i], ours[i], "(" omin[i] ".." omax[i] ")", fl[i], \
      "(" fmin[i] ".." fmax[i] ")", ratio[i], goal[i], verdict[i]
}'
