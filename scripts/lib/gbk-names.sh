# Shell functions for the GBK names dactables gives its tables; sourced by
# the scripts that name tables.

# The name in UTF-8 (a name that is no GBK stays as it is).
utf8_name() {
  printf '%s' "$1" | iconv -f GBK -t UTF-8 2>/dev/null || printf '%s' "$1"
}

# The name as the terminal's locale shows it: converted at a UTF-8 terminal
# unless it is UTF-8 already; elsewhere the bytes as they are.
readable_name() {
  if [ "$(locale charmap 2>/dev/null)" = UTF-8 ] && ! printf '%s' "$1" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1; then
    utf8_name "$1"
  else
    printf '%s' "$1"
  fi
}
