# Installation and the Debian package. `cmake --install` lays the program out as a Linux desktop
# expects it (the programs, the udev rule, the desktop entry, the icons, the AppStream metainfo);
# `cpack -G DEB` packs that, with the shared-library dependencies found by dpkg-shlibdeps
# (scripts/make-deb.sh does both).
include(GNUInstallDirs)

# Every program the package carries; a new one is added to this list.
set(CC_INSTALLED_PROGRAMS cameracontrol cameracontrol-cli)
if(TARGET cameracontrol-demo)
    list(APPEND CC_INSTALLED_PROGRAMS cameracontrol-demo)
endif()
install(TARGETS ${CC_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
string(TIMESTAMP CC_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${packaging_dir}/cameracontrol.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/com.example.cameracontrol.metainfo.xml @ONLY)

# udev reads /usr/lib/udev/rules.d whatever the library folder of the architecture is.
install(FILES ${packaging_dir}/70-cameracontrol-updater.rules DESTINATION lib/udev/rules.d)
# A user unit, enabled by no one but the user (systemctl --user enable).
install(FILES ${packaging_dir}/cameracontrol-apply.service DESTINATION lib/systemd/user)
install(FILES ${packaging_dir}/cameracontrol.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/com.example.cameracontrol.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/art/main-icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME cameracontrol.svg)
install(DIRECTORY ${packaging_dir}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/fleet.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/cameracontrol)

# The files a desktop reads are checked like the code, where the checkers are installed.
if(CC_BUILD_TESTS)
    find_program(CC_DESKTOP_FILE_VALIDATE desktop-file-validate)
    find_program(CC_APPSTREAMCLI appstreamcli)
    if(CC_DESKTOP_FILE_VALIDATE)
        add_test(NAME desktop_entry
                 COMMAND ${CC_DESKTOP_FILE_VALIDATE} ${packaging_dir}/cameracontrol.desktop)
    endif()
    if(CC_APPSTREAMCLI)
        add_test(NAME appstream_metainfo
                 COMMAND ${CC_APPSTREAMCLI} validate --no-net --pedantic
                         ${CMAKE_CURRENT_BINARY_DIR}/com.example.cameracontrol.metainfo.xml)
    endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cameracontrol)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control application for USB conference cameras")
set(CPACK_PACKAGE_DESCRIPTION
    "Lists the cameras of a family of USB conference cameras as they are plugged in and out,
shows the live picture, moves the camera (pan, tilt, zoom), sets its framing modes,
anti-flicker and microphone, and upgrades its firmware from a package. The demo program
cameracontrol-demo runs the same window over a simulated camera.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Camera Control developers <support@example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CC_SUPPORT_BASE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides the libraries: the fonts that have every character the window shows (the Windows
# family it asks for is not there) and the archiver that unpacks firmware packages.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-carlito, fonts-wqy-microhei")
include(CPack)
