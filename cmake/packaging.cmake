# What `make install` and `make package` ship: setupkit into bin/ and the
# Windows programs it packs with, the 32-bit ones into share/setupkit/ and the
# 64-bit ones into share/setupkit/x64/, where pack finds them without --stub
# (by --arch). They come from the mingw and mingw64 trees, built before this
# tree is installed (the Makefile's install and package targets do).
set(SETUP_SHIPPED_STUBS ${CMAKE_SOURCE_DIR}/build/mingw CACHE PATH
    "Build folder of the shipped 32-bit setup.exe and uninst.exe (the mingw preset)")
set(SETUP_SHIPPED_STUBS_X64 ${CMAKE_SOURCE_DIR}/build/mingw64 CACHE PATH
    "Build folder of the shipped 64-bit setup.exe and uninst.exe (the mingw64 preset)")

install(TARGETS setupkit RUNTIME DESTINATION bin)
# A missing stub would otherwise surface as a bare "cannot find" from file(INSTALL).
install(CODE "
  foreach(program ${SETUP_SHIPPED_STUBS}/setup.exe ${SETUP_SHIPPED_STUBS}/uninst.exe
                  ${SETUP_SHIPPED_STUBS_X64}/setup.exe ${SETUP_SHIPPED_STUBS_X64}/uninst.exe)
    if(NOT EXISTS \"\${program}\")
      message(FATAL_ERROR \"\${program} is not built: build the mingw and mingw64 presets first \"
                          \"(make install and make package do), or set SETUP_SHIPPED_STUBS(_X64)\")
    endif()
  endforeach()")
install(FILES ${SETUP_SHIPPED_STUBS}/setup.exe ${SETUP_SHIPPED_STUBS}/uninst.exe DESTINATION share/setupkit)
install(FILES ${SETUP_SHIPPED_STUBS_X64}/setup.exe ${SETUP_SHIPPED_STUBS_X64}/uninst.exe DESTINATION share/setupkit/x64)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME setupkit)
set(CPACK_PACKAGE_VERSION ${SETUP_STUB_VERSION})
set(CPACK_PACKAGE_CONTACT "${SETUP_PUBLISHER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SETUP_URL_INFO_ABOUT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs, lists, verifies and extracts single-file Windows installers")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setup.exe and uninst.exe are stripped by their own link; only setupkit is.
set(CPACK_STRIP_FILES bin/setupkit)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
