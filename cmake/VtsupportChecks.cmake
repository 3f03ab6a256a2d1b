# The checks that use this build as its users do (scripts/check), as tests
# beside the unit tests, with the label "consumer" or "package" and fixtures
# for what they share: the install, the archives, the Debian packages. On
# Linux: the consumer project against the install and through FetchContent,
# the pinned ABI, the tarball, and the Debian packages built, linted,
# installed into a throwaway copy of the machine and tested by autopkgtest;
# on Windows (the preset mingw, under Wine) the zip. The checks that build
# packages run scripts/package and write into build/packages of the source
# tree, so this suits the presets' build folders (build/<preset>). They run
# when ctest runs through those presets, whose environment has VT_CHECKS=1;
# a plain ctest in the build folder skips them (a tool that runs the unit
# tests after every small change, as the mutation check does, stays fast).
set(vtsupport_check ${PROJECT_SOURCE_DIR}/scripts/check)

# vtsupport_add_check(name LABEL label [SETUP fixture] [REQUIRES fixtures...]
#                     [PROCESSORS n] [BUILDS]): the test NAME runs
# `scripts/check NAME <build>`. BUILDS: it runs a build in this build folder,
# which must not meet another one there.
function(vtsupport_add_check name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "BUILDS" "LABEL;SETUP;PROCESSORS" "REQUIRES")
    add_test(NAME ${name} COMMAND bash ${vtsupport_check} ${name} ${PROJECT_BINARY_DIR}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    set_tests_properties(${name} PROPERTIES LABELS ${arg_LABEL} TIMEOUT 900 SKIP_RETURN_CODE 77)
    if(arg_BUILDS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK build_folder)
    endif()
    if(arg_SETUP)
        set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${arg_SETUP})
    endif()
    if(arg_REQUIRES)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${arg_REQUIRES}")
    endif()
    if(arg_PROCESSORS)
        set_tests_properties(${name} PROPERTIES PROCESSORS ${arg_PROCESSORS})
    endif()
endfunction()

if(WIN32)
    vtsupport_add_check(package-zip LABEL package SETUP zip BUILDS)
    vtsupport_add_check(zip LABEL package REQUIRES zip)
    return()
endif()

vtsupport_add_check(format LABEL format)
vtsupport_add_check(install LABEL consumer SETUP installed)
vtsupport_add_check(consumer-installed LABEL consumer REQUIRES installed)
vtsupport_add_check(consumer-fetch LABEL consumer)
vtsupport_add_check(abi LABEL package BUILDS)
vtsupport_add_check(package-tarball LABEL package SETUP tarball BUILDS)
vtsupport_add_check(tarball LABEL package REQUIRES tarball)
vtsupport_add_check(package-deb LABEL package SETUP deb PROCESSORS 2)
vtsupport_add_check(deb-lintian LABEL package REQUIRES deb)
vtsupport_add_check(deb-install LABEL package REQUIRES deb)
vtsupport_add_check(deb-autopkgtest LABEL package REQUIRES deb)
