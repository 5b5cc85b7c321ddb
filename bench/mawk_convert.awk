# The same conversion in mawk, for well-formed lines: the header skipped,
# blanks removed, "." turned into ",", seconds from the first field.
BEGIN { FS = ";"; OFS = ";"; ORS = "\r\n" }
NR > 1 && /;/ {
  sub(/\r$/, "")
  for (i = 1; i <= 4; i++) { gsub(/ /, "", $i); gsub(/\./, ",", $i) }
  t = $1
  print "$1", "1", substr(t, 1, 2) * 3600 + substr(t, 3, 2) * 60 + substr(t, length(t) - 1, 2), $2, $3, $4, "0"
}
