# The maker's identity, chosen when the stubs are built: the registry key that
# remembers destinations, the uninstall entry's Publisher and URLInfoAbout, and
# the version records of setup.exe and uninst.exe. The defaults are this
# project's own; a maker sets their own with -D at configure time.
set(SETUP_MAKER_KEY "Software\\Halvorn" CACHE STRING
    "Key under HKEY_CURRENT_USER where setup.exe stores each product's destination (uninst.exe removes it)")
set(SETUP_PUBLISHER "Halvorn" CACHE STRING "Publisher written into the product's uninstall entry")
set(SETUP_URL_INFO_ABOUT "https://example.com/" CACHE STRING "Web address written as URLInfoAbout into the uninstall entry")
set(SETUP_COMPANY_NAME "setupkit project" CACHE STRING "CompanyName of both programs' version records")
set(SETUP_INSTALLER_NAME "setupkit installer" CACHE STRING "ProductName of setup.exe's version record")
set(SETUP_UNINSTALLER_NAME "setupkit uninstaller" CACHE STRING "ProductName of uninst.exe's version record")
set(SETUP_STUB_VERSION "4.20" CACHE STRING "Version of both programs' version records: up to four numbers, as 4.20")

# The texts end up in C string literals and resource scripts: printable ASCII
# without quotes or backslashes keeps them the same in both.
foreach(name SETUP_PUBLISHER SETUP_URL_INFO_ABOUT SETUP_COMPANY_NAME SETUP_INSTALLER_NAME SETUP_UNINSTALLER_NAME)
  if(NOT "${${name}}" MATCHES "^[ -~]+$" OR "${${name}}" MATCHES "[\"\\\\]")
    message(FATAL_ERROR "${name} \"${${name}}\": give printable ASCII text without \" or \\")
  endif()
endforeach()
# A key path of names separated by single backslashes, as RegCreateKeyEx takes it.
if(NOT SETUP_MAKER_KEY MATCHES "^[ -~]+$" OR SETUP_MAKER_KEY MATCHES "\"|^\\\\|\\\\$|\\\\\\\\")
  message(FATAL_ERROR "SETUP_MAKER_KEY \"${SETUP_MAKER_KEY}\": give a key path such as Software\\Maker "
                      "(printable ASCII without \", names separated by single backslashes)")
endif()
if(NOT SETUP_STUB_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "SETUP_STUB_VERSION \"${SETUP_STUB_VERSION}\": give up to four numbers separated by dots")
endif()
string(REPLACE "." ";" version_numbers "${SETUP_STUB_VERSION}.0.0.0")
list(SUBLIST version_numbers 0 4 version_numbers)
foreach(number IN LISTS version_numbers)
  if(number GREATER 65535)
    message(FATAL_ERROR "SETUP_STUB_VERSION \"${SETUP_STUB_VERSION}\": each number is at most 65535")
  endif()
endforeach()
string(REPLACE ";" ", " SETUP_STUB_VERSION_NUMBERS "${version_numbers}")

# The programs' code (src/install, whose constants src/uninstall uses) and the
# tests that check what they write take the texts as definitions ...
string(REPLACE "\\" "\\\\" maker_key_literal "${SETUP_MAKER_KEY}")
add_library(maker_identity INTERFACE)
target_compile_definitions(maker_identity INTERFACE
                           "SETUP_MAKER_KEY=\"${maker_key_literal}\"" "SETUP_PUBLISHER=\"${SETUP_PUBLISHER}\""
                           "SETUP_URL_INFO_ABOUT=\"${SETUP_URL_INFO_ABOUT}\"" "SETUP_STUB_VERSION=\"${SETUP_STUB_VERSION}\"")
# ... and the resource scripts include them from a generated header.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version_record.h.in ${CMAKE_BINARY_DIR}/resources/version_record.h @ONLY)
