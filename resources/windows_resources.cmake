# SPDX-License-Identifier: GPL-3.0-or-later
# Generates the Windows resource script (the icon group and the version record) as
# QUEMADOR_RC. Windows builds compile it into the executable; a test compiles it
# everywhere else.
set(QUEMADOR_ICO "${CMAKE_CURRENT_LIST_DIR}/quemador1.ico")
# "1.00": the major version and the minor version in two digits.
string(LENGTH "${PROJECT_VERSION_MINOR}" minor_length)
if(minor_length EQUAL 1)
    set(QUEMADOR_SHORT_VERSION "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
    set(QUEMADOR_SHORT_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(QUEMADOR_RC "${PROJECT_BINARY_DIR}/generated/quemador1.rc")
configure_file("${CMAKE_CURRENT_LIST_DIR}/quemador1.rc.in" "${QUEMADOR_RC}" @ONLY)
