# What `make install` and `make package` ship: setupkit into bin/ and the two
# 32-bit Windows programs it packs with into share/setupkit/, where pack finds
# them without --stub. The Windows programs come from the mingw tree, built
# before this tree is installed (the Makefile's install and package targets do).
set(SETUP_SHIPPED_STUBS ${CMAKE_SOURCE_DIR}/build/mingw CACHE PATH
    "Build folder of the shipped 32-bit setup.exe and uninst.exe (the mingw preset)")

install(TARGETS setupkit RUNTIME DESTINATION bin)
# A missing stub would otherwise surface as a bare "cannot find" from file(INSTALL).
install(CODE "
  foreach(program setup.exe uninst.exe)
    if(NOT EXISTS \"${SETUP_SHIPPED_STUBS}/\${program}\")
      message(FATAL_ERROR \"${SETUP_SHIPPED_STUBS}/\${program} is not built: build the mingw preset first \"
                          \"(make install and make package do), or set SETUP_SHIPPED_STUBS\")
    endif()
  endforeach()")
install(FILES ${SETUP_SHIPPED_STUBS}/setup.exe ${SETUP_SHIPPED_STUBS}/uninst.exe DESTINATION share/setupkit)

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
