# SPDX-License-Identifier: GPL-3.0-or-later
# Compiles the Windows resource script with the MinGW resource compiler, prints the
# compiled resources back as text, and checks the icon group and the version record.
# Run with -DRC=<script> -DICO=<icon> -DWORK_DIR=<folder>.
set(windres x86_64-w64-mingw32-windres)
get_filename_component(ico_dir "${ICO}" DIRECTORY)
set(object "${WORK_DIR}/quemador1.res.o")

execute_process(
    COMMAND ${windres} --preprocessor=cpp -I "${ico_dir}" "${RC}" -O coff -o "${object}"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the resource script does not compile: ${status}\n${errors}")
endif()
execute_process(
    COMMAND ${windres} -i "${object}" -J coff -O rc
    OUTPUT_VARIABLE compiled RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the compiled resources cannot be read back: ${status}")
endif()

set(expected
    # Spanish (Spain): language 0x0A, sublanguage 3.
    "LANGUAGE 10, 3"
    # Icon group 1: 32x32 in 2 colours, 32x32 in 16 colours, 16x16 in 16 colours.
    "1 14 /\\* RT_GROUP_ICON \\*/"
    "Has 3 elements"
    "\"\\\\040\\\\040\\\\002\\\\000\", 1, 1,"
    "\"\\\\040\\\\040\\\\020\\\\000\", 1, 4,"
    "\"\\\\020\\\\020\\\\020\\\\000\", 1, 4,"
    "FILEVERSION 1, 0, 0, 0"
    "PRODUCTVERSION 1, 0, 0, 0"
    "BLOCK \"0C0A04B0\""
    "VALUE \"FileVersion\", \"1.00\""
    "VALUE \"ProductVersion\", \"1.00\""
    "VALUE \"ProductName\", \"Quemador1\""
    "VALUE \"InternalName\", \"Quemador1\""
    "VALUE \"OriginalFilename\", \"Quemador1.exe\""
    "VALUE \"CompanyName\", \"[^\"]+\""
    "VALUE \"LegalCopyright\", \"Copyright 2026 [^\"]+GPL-3.0-or-later[^\"]*\""
    "VALUE \"Translation\", 0xc0a, 1200")
foreach(pattern IN LISTS expected)
    if(NOT compiled MATCHES "${pattern}")
        message(FATAL_ERROR "not in the compiled resources: ${pattern}\n${compiled}")
    endif()
endforeach()
message(STATUS "Windows resources: icon group and version record as expected")
