# Warning flags shared by the library, its tests and its tools.
function(vtsupport_set_warnings target)
    if(MSVC)
        # The Windows socket half calls the IPv4 functions by the names Winsock marks deprecated
        # (C4996), and exported classes hold standard containers, for callers built with the same
        # toolset (C4251): neither may stop a build that treats warnings as errors.
        target_compile_definitions(${target} PRIVATE _WINSOCK_DEPRECATED_NO_WARNINGS)
        target_compile_options(${target} PRIVATE /W4 /wd4251)
        if(VTSUPPORT_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra)
        if(VTSUPPORT_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
