# cmake -DICUPKG=… -DFULL=full.dat -DOUT=trimmed.dat -P TrimICUData.cmake
# Copies an ICU data package keeping only the items the command-line tool reads: the root and
# English locale data, time zones and week data, collation (every language's, since project
# names are sorted in the user's order) and the grapheme-cluster rules. Everything else (currency,
# unit and language names, converters, word and line dictionaries) is left out.
set(keep
  "^(root|en|en_US|en_US_POSIX|res_index|pool)\\.res$"
  "^(supplementalData|zoneinfo64|timezoneTypes|metaZones|windowsZones|likelySubtags|numberingSystems)\\.res$"
  "^(keyTypeData|icuver|icustd|metadata|langInfo|dayPeriods|plurals)\\.res$"
  "^(ulayout|uemoji)\\.icu$"
  "^(zone|curr|unit|lang|region)/(root|en|en_US|en_US_POSIX|res_index|pool)\\.res$"
  "^coll/"
  "^brkitr/[^/]*\\.res$"
  "^brkitr/char\\.brk$")
execute_process(COMMAND "${ICUPKG}" -l "${FULL}" OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "icupkg couldn't list ${FULL}")
endif()
string(REPLACE "\n" ";" items "${listing}")
set(removed "")
foreach(item IN LISTS items)
  if(item STREQUAL "")
    continue()
  endif()
  set(kept FALSE)
  foreach(pattern IN LISTS keep)
    if(item MATCHES "${pattern}")
      set(kept TRUE)
    endif()
  endforeach()
  if(NOT kept)
    string(APPEND removed "${item}\n")
  endif()
endforeach()
get_filename_component(folder "${OUT}" DIRECTORY)
file(WRITE "${folder}/icu-removed.txt" "${removed}")
file(REMOVE "${OUT}")
# The break-iterator index names rules for words and lines that are left out on purpose.
execute_process(COMMAND "${ICUPKG}" --ignore-deps -r "${folder}/icu-removed.txt" "${FULL}" "${OUT}"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "icupkg couldn't trim ${FULL}")
endif()
