# MinGW-w64 links the C++ runtime as DLLs (see mingw-w64.cmake), so every
# program of the build needs them: they are put beside the programs in the
# build's bin/ (where Windows, and Wine, look first), without their debug
# information, and installed from there beside libvtsupport.dll. The list is
# what the compiler links by default; a DLL it cannot name is left out, and the
# check of the Windows package under Wine, which has none of them, shows what
# is missing.
foreach(flags CMAKE_EXE_LINKER_FLAGS CMAKE_SHARED_LINKER_FLAGS)
    if(" ${${flags}} " MATCHES " -static(-libstdc\\+\\+|-libgcc)? ")
        message(FATAL_ERROR "${flags} links the C++ runtime statically (\"${${flags}}\"), which "
            "gives the library and the program a std::cout each; a build folder configured "
            "before the runtime became shared keeps that in its cache: configure it afresh "
            "(cmake --preset mingw --fresh)")
    endif()
endforeach()

set(VTSUPPORT_RUNTIME_DLLS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE source
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${source}" OR NOT EXISTS "${source}")
        continue()
    endif()
    file(REAL_PATH "${source}" source)
    set(copy ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
    if(CMAKE_STRIP)
        set(make_copy ${CMAKE_STRIP} --strip-debug -o ${copy} ${source})
    else()
        set(make_copy ${CMAKE_COMMAND} -E copy ${source} ${copy})
    endif()
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
        COMMAND ${make_copy}
        DEPENDS ${source}
        COMMENT "Putting ${dll} into ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
        VERBATIM)
    list(APPEND VTSUPPORT_RUNTIME_DLLS ${copy})
endforeach()
if(NOT VTSUPPORT_RUNTIME_DLLS)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} names none of the C++ runtime DLLs")
endif()
add_custom_target(vtsupport_runtime_dlls ALL DEPENDS ${VTSUPPORT_RUNTIME_DLLS})
