# Prints the points of a zelSNMP configuration with what the task last wrote into each.
#
#   awk -f points_table.awk CONFIG.cfg JOURNAL.tsv
#
# CONFIG is the task's INI configuration (sections "host[:community]", lines "point=OID");
# JOURNAL is the stand-in's <site>/tm/<server>/journal.tsv (time, operation, channel, rtu,
# point, value; TAB-separated). A status point (#TC, #TS) and an analog point (#TT) are told
# apart by the write operation; channel, RTU and point reach the journal as their low 16 bits,
# so the configured numbers are reduced the same way before they are matched. Journal points
# that no configuration line names are listed at the end.

BEGIN {
  FS = "\t"
  row_format = "%-10s %-4s %-17s %-26s %6s  %-17s %s\n"
}

function trim(text) {
  sub(/^[ \t\r\n\v\f]+/, "", text)
  sub(/[ \t\r\n\v\f]+$/, "", text)
  return text
}

function low16(number) {
  number = number % 65536
  return number < 0 ? number + 65536 : number
}

# "status" or "analog" and the three numbers, as the journal keys its points.
function journal_key(family, channel, rtu, point) {
  return family ":" low16(channel) ":" low16(rtu) ":" low16(point)
}

function family_of_operation(operation) {
  return operation ~ /^slSetStatus/ ? "status" : "analog"
}

function describe_write(operation, value) {
  if (operation ~ /Flags$/) return "flags " value
  return value
}

# The configuration: the first file.
FNR == NR {
  line = trim($0)
  if (line == "" || line ~ /^;/) next
  if (line ~ /^\[.*\]$/) {
    section = trim(substr(line, 2, length(line) - 2))
    next
  }
  equals = index(line, "=")
  if (equals == 0 || section == "") next
  name = trim(substr(line, 1, equals - 1))
  if (name == "" || name ~ /^;/) next
  count += 1
  point_name[count] = name
  point_oid[count] = trim(substr(line, equals + 1))
  point_device[count] = section
  # The task's rule: "#TC", "#TS" or "#TT", then three whole numbers separated by ":", each
  # number possibly after blanks or control bytes; anything after the third is ignored
  # ("#TC1:1:3x" is point 1:1:3).
  if (match(name, /^#T[CST][[:space:][:cntrl:]]*[+-]?[0-9]+:[[:space:][:cntrl:]]*[+-]?[0-9]+:[[:space:][:cntrl:]]*[+-]?[0-9]+/)) {
    kind = substr(name, 2, 2)
    split(substr(name, 4, RLENGTH - 3), numbers, ":")
    point_kind[count] = kind
    point_key[count] = journal_key(kind == "TT" ? "analog" : "status",
                                   numbers[1] + 0, numbers[2] + 0, numbers[3] + 0)
    configured[point_key[count]] = 1
  } else {
    point_kind[count] = "-"
    point_key[count] = ""
  }
  next
}

# The journal: the second file.
NF >= 6 {
  key = journal_key(family_of_operation($2), $3, $4, $5)
  writes[key] += 1
  last_write[key] = describe_write($2, $6)
  time_part = $1
  sub(/^.*T/, "", time_part)
  last_time[key] = time_part
  if (!(key in configured) && !(key in unnamed_seen)) {
    unnamed_seen[key] = 1
    unnamed[++unnamed_count] = key
  }
}

END {
  printf row_format, "POINT", "KIND", "DEVICE", "OID", "WRITES", "LAST VALUE/FLAGS", "TIME"
  for (i = 1; i <= count; i++) {
    key = point_key[i]
    if (key == "") {
      printf row_format, point_name[i], "-", point_device[i], point_oid[i], "-",
             "(only traced)", ""
    } else if (key in writes) {
      printf row_format, point_name[i], point_kind[i], point_device[i], point_oid[i],
             writes[key], last_write[key], last_time[key]
    } else {
      printf row_format, point_name[i], point_kind[i], point_device[i], point_oid[i], 0,
             "(nothing written)", ""
    }
  }
  for (i = 1; i <= unnamed_count; i++) {
    key = unnamed[i]
    split(key, parts, ":")
    printf row_format, parts[2] ":" parts[3] ":" parts[4], parts[1] == "analog" ? "TT" : "TC/S",
           "(not configured)", "", writes[key], last_write[key], last_time[key]
  }
}
