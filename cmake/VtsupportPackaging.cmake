# What `cpack` makes from an installed build (scripts/package runs it):
#   Linux:   vtsupport_<version>_<arch>.deb and vtsupport-<version>-Linux.tar.gz
#            with the library, its headers, CMake package files and vtsupport.pc;
#   Windows: vtsupport-<version>-win64.zip with the same plus vtkit.exe and the
#            C++ runtime DLLs that the DLL and vtkit.exe need.
# The install rules of the library live beside it; this file adds what only the
# Windows archive carries and describes the packages.
include(GNUInstallDirs)

if(WIN32)
    if(TARGET vtkit)
        install(TARGETS vtkit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
    if(MINGW)
        install(FILES ${VTSUPPORT_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endif()

set(VTSUPPORT_PACKAGE_CONTACT "vtsupport maintainers <maintainers@vtsupport.invalid>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME vtsupport)
set(CPACK_PACKAGE_VENDOR "vtsupport")
set(CPACK_PACKAGE_CONTACT "${VTSUPPORT_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++ support library: trace, assertions, XML, processor topology, TCP frames, files")
set(CPACK_PACKAGE_DESCRIPTION
    "vtsupport is one C++17 shared library of support components for desktop applications: \
a trace channel and assertions switched from the environment, a lenient XML reader and writer \
with its stream tokenizer, processor topology from CPUID, IPv4 addresses with a resolution cache \
and a framed TCP client, and file, directory and process utilities. This package holds the \
library, its headers, the CMake package files and a pkg-config file.")
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
    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
    # Depends: from the libraries the shared object links (libc6, libstdc++6, libgcc-s1).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # A shlibs file and the ldconfig trigger for libvtsupport.so.<SOVERSION>.
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
endif()
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

include(CPack)

# Everything the packages hold, without the tests and benchmarks: scripts/package
# builds this target, then cpack installs without building anything more.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(package_contents)
add_dependencies(package_contents vtsupport)
if(WIN32 AND TARGET vtkit)
    add_dependencies(package_contents vtkit)
endif()
if(TARGET vtsupport_runtime_dlls)
    add_dependencies(package_contents vtsupport_runtime_dlls)
endif()
