# What `cpack` makes from an installed build (scripts/package runs it):
#   Linux:   vtsupport-<version>-Linux.tar.gz with the library, its headers,
#            CMake package files, vtsupport.pc, vtkit and its manual page;
#   Windows: vtsupport-<version>-win64.zip with the same (no manual page) plus
#            the C++ runtime DLLs that the DLL and vtkit.exe need.
# The Debian packages come from debian/ instead. The install rules of the
# library and of the tool live beside them; this file adds what only the
# Windows archive carries and describes the archives.
include(GNUInstallDirs)

if(MINGW)
    install(FILES ${VTSUPPORT_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(VTSUPPORT_PACKAGE_CONTACT "vtsupport maintainers <maintainers@vtsupport.invalid>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME vtsupport)
set(CPACK_PACKAGE_VENDOR "vtsupport")
set(CPACK_PACKAGE_CONTACT "${VTSUPPORT_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++ support library: trace, assertions, XML, processor topology, TCP frames, files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
# Packages are built from the build tree only, never from the sources.
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_SYSTEM_NAME win64)
    else()
        set(CPACK_SYSTEM_NAME win32)
    endif()
else()
    set(CPACK_GENERATOR TGZ)
    set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
endif()
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

include(CPack)

# Everything the packages hold, without the tests and benchmarks: scripts/package
# builds this target, then cpack installs without building anything more.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(package_contents)
add_dependencies(package_contents vtsupport)
foreach(target vtkit vtkit_man)
    if(TARGET ${target})
        add_dependencies(package_contents ${target})
    endif()
endforeach()
if(TARGET vtsupport_runtime_dlls)
    add_dependencies(package_contents vtsupport_runtime_dlls)
endif()
