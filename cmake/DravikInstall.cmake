# Install layout and the Debian package (cpack -G DEB).
#
#   bin/dravik, bin/dravik-cli                         the programs
#   lib/<arch>/dravik/libVexa32.so, libVexb2.so        BIOS stand-ins of the legacy access mode (private)
#   share/applications/com.quorvel.Dravik.desktop      menu entry
#   share/metainfo/com.quorvel.Dravik.metainfo.xml     AppStream description
#   share/icons/hicolor/{scalable,NxN}/apps/           icon
#   share/polkit-1/actions/com.quorvel.Dravik.policy   reading disks with administrator rights
#   share/man/man1/dravik.1, dravik-cli.1              manuals
#   share/bash-completion/completions/dravik-cli       completion
#   share/doc/dravik/                                  README, screenshots

set(DRAVIK_APP_ID com.quorvel.Dravik)
set(DRAVIK_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS dravik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET dravik)
    install(TARGETS dravik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS Vexa32 Vexb2 LIBRARY DESTINATION ${DRAVIK_PRIVATE_LIBDIR} NAMELINK_SKIP)

# Files that name the install paths are configured into the build tree first.
configure_file(${DRAVIK_DATA}/${DRAVIK_APP_ID}.policy.in ${PROJECT_BINARY_DIR}/data/${DRAVIK_APP_ID}.policy @ONLY)
configure_file(${DRAVIK_DATA}/${DRAVIK_APP_ID}.metainfo.xml.in ${PROJECT_BINARY_DIR}/data/${DRAVIK_APP_ID}.metainfo.xml @ONLY)

install(FILES ${DRAVIK_DATA}/${DRAVIK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/${DRAVIK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_BINARY_DIR}/data/${DRAVIK_APP_ID}.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
install(FILES ${DRAVIK_DATA}/icons/dravik.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${DRAVIK_APP_ID}.svg)
foreach(size 16 32 48 64 128 256)
    install(FILES ${DRAVIK_DATA}/icons/dravik-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${DRAVIK_APP_ID}.png)
endforeach()
install(FILES ${DRAVIK_DATA}/man/dravik.1 ${DRAVIK_DATA}/man/dravik-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DRAVIK_DATA}/completion/dravik-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME dravik)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Recover lost files from NTFS disks and disk images")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvel Dravik for NTFS reads a damaged disk or a raw image of it sector by sector, never writing\n"
    "to it, finds lost partitions, rebuilds NTFS folder trees from the Master File Table or from NTFS\n"
    "structures found anywhere on the disk, and copies deleted and lost files to another place.\n"
    "It comes as a desktop wizard (dravik) and a command-line tool (dravik-cli).")
set(CPACK_PACKAGE_CONTACT "Quorvel Dravik developers <dravik@quorvel.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The menu entry asks pkexec for administrator rights when a disk cannot be read.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_GENERATOR DEB)
# The package holds what this build was configured for (the package preset: /usr).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
