# Checks the built installer stub without running it (no Wine needed):
#   cmake -DSTUB=setup.exe -DMANIFEST_ARCH=x86|amd64 -DOBJDUMP=... [-DBUDGET=bytes] [-DNO_DIALOG=ON]
#         -DVERSION_TEXTS="CompanyName=...;ProductName=...;FileVersion=..." -P check-stub.cmake
# (uninst.exe, which has no dialog, is checked with NO_DIALOG)
# - a PE image of the build's own width (PE32 i386 or PE32+ x86-64) for the GUI subsystem;
# - the resources the dialog and the shell need: icons with icon group 1, dialog
#   1000, the version record and a manifest naming the build's architecture,
#   asking for administrator rights and common controls v6, and declaring DPI
#   awareness (per monitor where the system has it, system-wide before);
# - the maker's texts in the version record, each right after its name;
# - no copy of the payload magic B6 2C B6 91 at or after offset 89999, where the
#   payload search starts (an early copy would be taken for the payload);
# - no link time stamp in the PE header, so the same sources give the same bytes;
# - the size, against the budget (the same for both widths).
cmake_minimum_required(VERSION 3.25)
set(search_start 89999)

file(SIZE "${STUB}" size)
message(STATUS "${STUB}: ${size} bytes (budget ${BUDGET})")

if(size GREATER search_start)
  file(READ "${STUB}" tail OFFSET ${search_start} HEX)
  set(at 0)
  while(TRUE)
    string(FIND "${tail}" "b62cb691" found)
    if(found EQUAL -1)
      break()
    endif()
    math(EXPR odd "${found} % 2")
    if(odd EQUAL 0)
      math(EXPR offset "${search_start} + (${at} + ${found}) / 2")
      message(FATAL_ERROR "payload magic at offset ${offset}")
    endif()
    math(EXPR skip "${found} + 1")
    math(EXPR at "${at} + ${skip}")
    string(SUBSTRING "${tail}" ${skip} -1 tail)
  endwhile()
endif()

# The PE header (e_lfanew at 0x3C): the machine 4 bytes after its signature,
# TimeDateStamp 8, the optional header 24, and the subsystem 68 bytes into that
# for both widths.
if(MANIFEST_ARCH STREQUAL "amd64")
  set(want_machine "6486")
  set(want_magic "0b02")
else()
  set(want_machine "4c01")
  set(want_magic "0b01")
endif()
file(READ "${STUB}" lfanew OFFSET 60 LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" lfanew "${lfanew}")
math(EXPR pe_at "0x${lfanew}")
foreach(field "signature;0;4" "machine;4;2" "stamp;8;4" "magic;24;2" "subsystem;92;2")
  list(GET field 0 name)
  list(GET field 1 field_at)
  list(GET field 2 bytes)
  math(EXPR field_at "${pe_at} + ${field_at}")
  file(READ "${STUB}" ${name} OFFSET ${field_at} LIMIT ${bytes} HEX)
endforeach()
if(NOT signature STREQUAL "50450000" OR NOT machine STREQUAL want_machine OR NOT magic STREQUAL want_magic)
  message(FATAL_ERROR "not a ${MANIFEST_ARCH} PE image (signature ${signature}, machine ${machine}, magic ${magic})")
endif()
if(NOT subsystem STREQUAL "0200")
  message(FATAL_ERROR "subsystem ${subsystem}, not a GUI program")
endif()
if(NOT stamp STREQUAL "00000000")
  message(FATAL_ERROR "link time stamp ${stamp} in the PE header")
endif()

if(BUDGET AND size GREATER BUDGET)
  message(FATAL_ERROR "${size} bytes, over the budget of ${BUDGET}")
endif()

# The resource tree as objdump prints it: a type entry (three spaces in), then its first name entry (five).
execute_process(COMMAND ${OBJDUMP} -p "${STUB}" OUTPUT_VARIABLE headers RESULT_VARIABLE objdump_failed)
if(objdump_failed)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${STUB}")
endif()
set(resources "000003|[0-9a-f]+|icon images" "00000e|000001|icon group 1" "000010|000001|version record"
              "000018|000001|manifest")
if(NOT NO_DIALOG)
  list(APPEND resources "000005|0003e8|dialog 1000" "00000a|000002|stub marker (setupkit refuses a stub without it)")
endif()
foreach(resource IN LISTS resources)
  string(REPLACE "|" ";" resource "${resource}")
  list(GET resource 0 type)
  list(GET resource 1 name)
  list(GET resource 2 what)
  if(NOT headers MATCHES "\n[0-9a-f]+   Entry: ID: 0x${type},[^\n]*\n[^\n]*Name Table[^\n]*\n[0-9a-f]+     Entry: ID: 0x${name},")
    message(FATAL_ERROR "no ${what} among the resources")
  endif()
endforeach()
foreach(text "processorArchitecture=\"${MANIFEST_ARCH}\"" "level=\"requireAdministrator\""
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" ">true/pm</dpiAware>"
             ">PerMonitorV2, PerMonitor</dpiAwareness>")
  file(STRINGS "${STUB}" found REGEX "${text}" LIMIT_COUNT 1)
  if(NOT found)
    message(FATAL_ERROR "the manifest lacks ${text}")
  endif()
endforeach()
# The version record's strings are UTF-16 and each value follows its name's
# terminator, after one more zero unit where the value starts on a 4-byte boundary.
file(READ "${STUB}" image HEX)
foreach(pair IN LISTS VERSION_TEXTS)
  string(REGEX MATCH "^([^=]+)=(.*)$" ignored "${pair}")
  set(name "${CMAKE_MATCH_1}")
  set(value "${CMAKE_MATCH_2}")
  foreach(text name value)
    string(HEX "${${text}}" ${text}_hex)
    string(REGEX REPLACE "(..)" "\\100" ${text}_hex "${${text}_hex}")
  endforeach()
  string(FIND "${image}" "${name_hex}0000${value_hex}0000" at)
  if(at EQUAL -1)
    string(FIND "${image}" "${name_hex}00000000${value_hex}0000" at)
  endif()
  if(at EQUAL -1)
    message(FATAL_ERROR "the version record lacks ${name} \"${value}\"")
  endif()
endforeach()
