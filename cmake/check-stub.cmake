# Checks the built installer stub: cmake -DSTUB=setup.exe -P check-stub.cmake
# - no copy of the payload magic B6 2C B6 91 at or after offset 89999, where the
#   payload search starts (an early copy would be taken for the payload);
# - no link time stamp in the PE header, so the same sources give the same bytes;
# - the size, against the 94208-byte budget.
cmake_minimum_required(VERSION 3.25)
set(search_start 89999)
set(budget 94208)

file(SIZE "${STUB}" size)
message(STATUS "${STUB}: ${size} bytes (budget ${budget})")

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

# e_lfanew at 0x3C; TimeDateStamp 8 bytes into the PE header.
file(READ "${STUB}" lfanew OFFSET 60 LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" lfanew "${lfanew}")
math(EXPR stamp_at "0x${lfanew} + 8")
file(READ "${STUB}" stamp OFFSET ${stamp_at} LIMIT 4 HEX)
if(NOT stamp STREQUAL "00000000")
  message(FATAL_ERROR "link time stamp ${stamp} in the PE header")
endif()

if(size GREATER budget)
  message(FATAL_ERROR "${size} bytes, over the budget of ${budget}")
endif()
