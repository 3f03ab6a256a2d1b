# The API reference: Doxygen over the installed public headers and nothing
# else, into <build>/html. Every class, function, macro and member they declare
# must be documented; any warning fails the target, and the warnings are also
# kept in <build>/doxygen-warnings.log.
find_package(Doxygen REQUIRED)

set(vtsupport_public_headers "")
get_target_property(header_sets vtsupport INTERFACE_HEADER_SETS)
foreach(header_set IN LISTS header_sets)
    get_target_property(headers vtsupport HEADER_SET_${header_set})
    list(APPEND vtsupport_public_headers ${headers})
endforeach()

set(DOXYGEN_PROJECT_BRIEF "C++ support components for desktop applications")
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
set(DOXYGEN_HTML_OUTPUT html)
set(DOXYGEN_GENERATE_HTML YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_HAVE_DOT NO)
set(DOXYGEN_QUIET YES)
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_EXTRACT_PRIVATE NO)
# JAssertEnabled is static inline by design, and public.
set(DOXYGEN_EXTRACT_STATIC YES)
set(DOXYGEN_HIDE_FRIEND_COMPOUNDS YES)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_IF_DOC_ERROR YES)
set(DOXYGEN_WARN_NO_PARAMDOC NO)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_WARN_LOGFILE ${PROJECT_BINARY_DIR}/doxygen-warnings.log)
# Paths as users include them: "vtsupport/net/TCPSocket.h".
set(DOXYGEN_FULL_PATH_NAMES YES)
set(DOXYGEN_STRIP_FROM_PATH ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
set(DOXYGEN_STRIP_FROM_INC_PATH ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
# The export attribute is not part of any declaration a reader cares about.
set(DOXYGEN_ENABLE_PREPROCESSING YES)
set(DOXYGEN_MACRO_EXPANSION YES)
set(DOXYGEN_EXPAND_ONLY_PREDEF YES)
set(DOXYGEN_PREDEFINED "VTSUPPORT_API=")
set(DOXYGEN_SORT_MEMBER_DOCS NO)
# The first sentence of a comment is its summary in the member lists.
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
# What public headers declare for their own inline code is not the interface.
set(DOXYGEN_EXCLUDE_SYMBOLS "vtsupport::detail" "VTSUPPORT_DETAIL_*")

doxygen_add_docs(docs ${vtsupport_public_headers}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "API reference in ${PROJECT_BINARY_DIR}/html")

# The preset docs builds the reference; its test says whether that went without
# a warning (ctest --preset docs, the last step of its workflow).
enable_testing()
add_test(NAME docs COMMAND sh -c
    "test -s html/index.html && ! test -s doxygen-warnings.log \
     && echo \"$(ls html/*.html | wc -l) HTML pages, no warning\""
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
set_tests_properties(docs PROPERTIES LABELS docs)
