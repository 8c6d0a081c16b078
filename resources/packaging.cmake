# SPDX-License-Identifier: GPL-3.0-or-later
# Installation into the usual freedesktop places, and the Debian package.
include(GNUInstallDirs)

set(generated "${PROJECT_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/app.desktop.in"
    "${generated}/${QUEMADOR_APP_ID}.desktop" @ONLY)
configure_file("${CMAKE_CURRENT_LIST_DIR}/app.metainfo.xml.in"
    "${generated}/${QUEMADOR_APP_ID}.metainfo.xml" @ONLY)

install(TARGETS quemador1 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${generated}/${QUEMADOR_APP_ID}.desktop"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${generated}/${QUEMADOR_APP_ID}.metainfo.xml"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS QUEMADOR_ICON_SIZES)
    install(FILES "${CMAKE_CURRENT_LIST_DIR}/icons/quemador1-${size}.png"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${QUEMADOR_APP_ID}.png)
endforeach()
install(FILES "${CMAKE_CURRENT_LIST_DIR}/icons/quemador1.svg"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${QUEMADOR_APP_ID}.svg)

# Debian wants the man pages and the changelog compressed, reproducibly. The Spanish
# man page is the main one; the English translation goes where translated pages go.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
file(MAKE_DIRECTORY "${generated}/en")
add_custom_command(
    OUTPUT "${generated}/quemador1.1.gz" "${generated}/en/quemador1.1.gz"
        "${generated}/changelog.Debian.gz"
    COMMAND ${GZIP_EXECUTABLE} -9n -c "${CMAKE_CURRENT_LIST_DIR}/quemador1.1"
        > "${generated}/quemador1.1.gz"
    COMMAND ${GZIP_EXECUTABLE} -9n -c "${CMAKE_CURRENT_LIST_DIR}/quemador1.en.1"
        > "${generated}/en/quemador1.1.gz"
    COMMAND ${GZIP_EXECUTABLE} -9n -c "${CMAKE_CURRENT_LIST_DIR}/debian/changelog"
        > "${generated}/changelog.Debian.gz"
    DEPENDS "${CMAKE_CURRENT_LIST_DIR}/quemador1.1" "${CMAKE_CURRENT_LIST_DIR}/quemador1.en.1"
        "${CMAKE_CURRENT_LIST_DIR}/debian/changelog"
    VERBATIM)
add_custom_target(quemador_docs ALL
    DEPENDS "${generated}/quemador1.1.gz" "${generated}/en/quemador1.1.gz"
        "${generated}/changelog.Debian.gz")
install(FILES "${generated}/quemador1.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${generated}/en/quemador1.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/en/man1)
install(FILES "${generated}/changelog.Debian.gz" "${CMAKE_CURRENT_LIST_DIR}/debian/copyright"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quemador1)

set(CPACK_PACKAGE_NAME "quemador1")
set(CPACK_PACKAGE_VENDOR "${QUEMADOR_COMPANY}")
set(CPACK_PACKAGE_CONTACT "${QUEMADOR_COMPANY} <quemador1@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "calculator for the combustion efficiency of boilers")
set(CPACK_PACKAGE_DESCRIPTION
    "Quemador1 computes the excess air and the combustion efficiency of a boiler\n\
from the flue-gas oxygen reading and the stack temperature, for natural gas\n\
and No. 2 fuel oil. Its user interface is in Spanish. The quemador1-calc\n\
command does the same calculation without a display, for one reading, a\n\
printable table or a whole CSV log.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's font, and the Spanish texts of Qt's standard buttons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-extra, qt6-translations-l10n")
include(CPack)
