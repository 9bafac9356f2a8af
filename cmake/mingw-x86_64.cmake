# Cross-build for 64-bit Windows. A test vehicle, not a product: it runs under
# 64-bit Wine on hosts that cannot execute 32-bit x86 code, where the shipped
# 32-bit setup.exe cannot be run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
