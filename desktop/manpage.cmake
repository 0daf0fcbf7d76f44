# Writes the manual page of the `vastrel` tool from the tool's own help text, so that the two never
# disagree. Run with: cmake -DTOOL=<vastrel> -DVERSION=<x.y.z> -DOUTPUT=<vastrel.1> -P manpage.cmake
#
# The help text's shape: usage lines, a blank line, one paragraph, a blank line, "commands:", then
# for each command a line "  vastrel USAGE" and its summary indented below it.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${TOOL}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TOOL} --help failed: ${rc}")
endif()

# Roff text: backslashes and hyphens escaped, no line may start with a control character.
function(roff_escape text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Split into lines without letting CMake's list syntax see brackets or semicolons.
string(REPLACE "[" "@LB@" help "${help}")
string(REPLACE "]" "@RB@" help "${help}")
string(REPLACE ";" "@SC@" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(synopsis "")
set(description "")
set(commands "")
set(section "usage")
foreach(line IN LISTS lines)
    string(REPLACE "@LB@" "[" line "${line}")
    string(REPLACE "@RB@" "]" line "${line}")
    string(REPLACE "@SC@" ";" line "${line}")
    if(line STREQUAL "commands:")
        set(section "commands")
    elseif(line STREQUAL "")
        if(section STREQUAL "usage")
            set(section "description")
        endif()
    elseif(section STREQUAL "usage")
        string(REGEX REPLACE "^(usage:)? *vastrel " "" line "${line}")
        roff_escape("${line}" line)
        string(APPEND synopsis ".B vastrel\n${line}\n.br\n")
    elseif(section STREQUAL "description")
        roff_escape("${line}" line)
        string(APPEND description "${line}\n")
    elseif(line MATCHES "^  vastrel (.*)$")
        roff_escape("${CMAKE_MATCH_1}" usage)
        string(APPEND commands ".TP\n.B vastrel ${usage}\n")
    elseif(line MATCHES "^      (.*)$")
        roff_escape("${CMAKE_MATCH_1}" summary)
        string(APPEND commands "${summary}\n")
    else()
        message(FATAL_ERROR "unexpected line in the help text: ${line}")
    endif()
endforeach()
if(synopsis STREQUAL "" OR description STREQUAL "" OR commands STREQUAL "")
    message(FATAL_ERROR "the help text lacks its usage, description or commands")
endif()

file(WRITE "${OUTPUT}.tmp"
".TH VASTREL 1 \"\" \"vastrel ${VERSION}\" \"User Commands\"
.SH NAME
vastrel \\- work on the files of the Vastrel classroom testing system
.SH SYNOPSIS
${synopsis}.SH DESCRIPTION
${description}.SH COMMANDS
${commands}.SH EXIT STATUS
0 when the command succeeded; 1 when it failed, with one line on the standard error output.
.SH FILES
.TP
.B ~/.local/share/vastrel
the program folder of an installed system (vs4.mdb, Ports, ServerIP, the logs), unless
.B VASTREL_HOME
names another; see
.BR \"vastrel folder\" .
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
