# Writes the manual page of a program from its desktop entry (name, role, description, whether it
# opens a file), so that the menu and the manual say the same.
# Run with: cmake -DENTRY=<x.desktop> -DVERSION=<x.y.z> -DOUTPUT=<Program.1> -P programpage.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS "${ENTRY}" lines ENCODING UTF-8)
foreach(key Name GenericName Comment Exec)
    set(${key} "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^${key}=(.*)$")
            set(${key} "${CMAKE_MATCH_1}")
            break()
        endif()
    endforeach()
    if("${${key}}" STREQUAL "")
        message(FATAL_ERROR "${ENTRY} has no ${key}")
    endif()
endforeach()
string(TOUPPER "${Name}" title)
set(argument "")
if(Exec MATCHES " %f$")
    set(argument "[FILE]")
endif()
string(REPLACE "-" "\\-" Comment "${Comment}")
file(WRITE "${OUTPUT}.tmp"
".TH ${title} 1 \"\" \"Vastrel ${VERSION}\" \"Vastrel\"
.SH NAME
${Name} \\- ${GenericName}
.SH SYNOPSIS
.B ${Name}
${argument}
.SH DESCRIPTION
${Comment}.
.PP
F1 \\(em /usr/share/vastrel/help/index.html.
.SH FILES
.TP
.B ~/.local/share/vastrel
vs4.mdb, Ports, ServerIP, *.LOG
.SH SEE ALSO
.BR vastrel (1)
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
