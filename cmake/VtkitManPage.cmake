# Writes the manual page vtkit(1) from what the tool itself prints, so that
# the page and `--help` cannot disagree:
#   cmake -DVTKIT=<program> [-DEMULATOR=<runner>] -DTEMPLATE=<vtkit.1.in>
#         -DOUTPUT=<vtkit.1> -DVTKIT_TRACE_VARIABLE=<name> -P VtkitManPage.cmake
# SYNOPSIS and DESCRIPTION come from `vtkit --help`; COMMANDS holds the
# `--help` of every command that it lists (a line "  NAME  summary"), each
# usage line with its options. The template adds what no `--help` says
# (exit statuses, environment). A help text without a command, or a command
# whose `--help` fails, stops the build.
cmake_minimum_required(VERSION 3.23)

foreach(variable VTKIT TEMPLATE OUTPUT VTKIT_TRACE_VARIABLE)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "VtkitManPage.cmake needs -D${variable}=...")
    endif()
endforeach()

# The output of `vtkit ARGS...`, as a list of lines.
function(vtkit_help out_var)
    execute_process(COMMAND ${EMULATOR} ${VTKIT} ${ARGN}
        OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "vtkit ${ARGN} failed (${status}): ${error}")
    endif()
    string(REPLACE "\r" "" text "${text}")
    string(REGEX REPLACE "\n$" "" text "${text}")
    # Brackets would end list elements early: keep them as placeholders.
    string(REPLACE "[" "<lb>" text "${text}")
    string(REPLACE "]" "<rb>" text "${text}")
    string(REPLACE ";" "<sc>" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# Text as roff reads it literally.
function(roff_escape out_var text)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REPLACE "<lb>" "[" text "${text}")
    string(REPLACE "<rb>" "]" text "${text}")
    string(REPLACE "<sc>" ";" text "${text}")
    if(text MATCHES "^[.']")
        set(text "\\&${text}")
    endif()
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# One help text as roff: the usage line (without "usage: ") apart, "  TERM  text"
# lines as tagged paragraphs, anything else as text.
# Sets <prefix>_USAGE, <prefix>_BODY and <prefix>_TERMS (the tags, in order).
function(help_to_roff prefix)
    set(usage "")
    set(body "")
    set(terms "")
    foreach(line IN LISTS ARGN)
        if(line MATCHES "^usage: (.*)$")
            roff_escape(usage "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^  ([^ ].*[^ ])   *([^ ].*)$")
            list(APPEND terms "${CMAKE_MATCH_1}")
            roff_escape(term "${CMAKE_MATCH_1}")
            roff_escape(text "${CMAKE_MATCH_2}")
            string(APPEND body ".TP\n\\fB${term}\\fR\n${text}\n")
        elseif(line MATCHES "^ *([^ ].*)$")
            roff_escape(text "${CMAKE_MATCH_1}")
            string(APPEND body ".PP\n${text}\n")
        endif()
    endforeach()
    set(${prefix}_USAGE "${usage}" PARENT_SCOPE)
    set(${prefix}_BODY "${body}" PARENT_SCOPE)
    set(${prefix}_TERMS "${terms}" PARENT_SCOPE)
endfunction()

vtkit_help(top --help)
help_to_roff(top ${top})
if(NOT top_USAGE MATCHES "^vtkit")
    message(FATAL_ERROR "vtkit --help printed no line \"usage: vtkit ...\"")
endif()
vtkit_help(version_line --version)
if(NOT version_line MATCHES "^vtkit ([^ ]+)$")
    message(FATAL_ERROR "vtkit --version printed \"${version_line}\", not \"vtkit VERSION\"")
endif()
set(VTKIT_VERSION "${CMAKE_MATCH_1}")

set(VTKIT_SYNOPSIS "${top_USAGE}")
set(VTKIT_DESCRIPTION "${top_BODY}")
set(VTKIT_COMMANDS "")
set(command_count 0)
foreach(term IN LISTS top_TERMS)
    if(term MATCHES "^-")
        continue()
    endif()
    string(REPLACE " " ";" words "${term}")
    vtkit_help(lines ${words} --help)
    help_to_roff(command ${lines})
    if(NOT command_USAGE MATCHES "^vtkit ")
        message(FATAL_ERROR "vtkit ${term} --help printed no line \"usage: vtkit ...\"")
    endif()
    # One subsection per command, headed by its usage line.
    string(APPEND VTKIT_COMMANDS ".SS\n${command_USAGE}\n${command_BODY}")
    math(EXPR command_count "${command_count} + 1")
endforeach()
if(command_count EQUAL 0)
    message(FATAL_ERROR "vtkit --help lists no command (lines \"  NAME  summary\")")
endif()

# The date of the sources when the build has one (Debian sets it from the changelog).
string(TIMESTAMP VTKIT_DATE "%Y-%m-%d" UTC)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
