# Installation of the program folder and the Debian packages built from it with CPack:
#
#   cmake --build build --target package
#
# builds qp60util_<version>_<arch>.deb (the utility), qp60util-emulator_<version>_<arch>.deb
# (the printer emulator for demonstrations and tests) and qp60util-dev_<version>_<arch>.deb
# (the SDK for setting-page plug-ins). `cmake --install` installs the same files: the
# program folder <prefix>/lib/qp60util/, the link <prefix>/bin/qp60util, the desktop entry,
# the icon, the AppStream data and the manual pages. The executable and its libraries find
# each other through /proc/self/exe, which resolves the link, so the program folder stays
# whole. The package ships the staged qp60util, which never has the end-to-end test hooks
# (those are in build/test-app/qp60util only).

include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)

# Where the project publishes its documentation; the AppStream screenshots are docs/ there.
set(QPU_HOMEPAGE "https://vorka.example/qp60util" CACHE STRING "The project's web address")
set(QPU_APPSTREAM_ID com.vorka.qp60util)

# Packages and their components.
set(qpu_components Runtime Emulator Development)
set(qpu_package_names qp60util qp60util-emulator qp60util-dev)

# Generated documents: the manual pages with this version and the changelog's date, the
# AppStream data with the releases of the changelog, all compressed as Debian wants them.
set(QPU_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(QPU_MAN_PAGES qp60util qp60ctl qpr60-emulator)
set(QPU_METAINFO_FILE ${CMAKE_BINARY_DIR}/packaging/${QPU_APPSTREAM_ID}.metainfo.xml)
set(QPU_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
configure_file(${CMAKE_SOURCE_DIR}/packaging/qp60util.metainfo.xml.in ${QPU_METAINFO_FILE} @ONLY)
set(qpu_compressed ${QPU_CHANGELOG_GZ})
add_custom_command(OUTPUT ${QPU_CHANGELOG_GZ}
    COMMAND gzip -9n -c ${QPU_CHANGELOG} > ${QPU_CHANGELOG_GZ}
    DEPENDS ${QPU_CHANGELOG} VERBATIM)
foreach(page IN LISTS QPU_MAN_PAGES)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in ${QPU_MAN_DIR}/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${QPU_MAN_DIR}/${page}.1.gz
        COMMAND gzip -9n -c ${QPU_MAN_DIR}/${page}.1 > ${QPU_MAN_DIR}/${page}.1.gz
        DEPENDS ${QPU_MAN_DIR}/${page}.1 VERBATIM)
    list(APPEND qpu_compressed ${QPU_MAN_DIR}/${page}.1.gz)
endforeach()
add_custom_target(qpu_documents ALL DEPENDS ${qpu_compressed})

set(QPU_INSTALL_APP_DIR lib/qp60util)
set(QPU_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# A program of the program folder, with a relative link <prefix>/bin/<name> ->
# ../lib/qp60util/<name>, so that the tree can be unpacked anywhere.
function(qpu_install_program target component)
    install(TARGETS ${target} RUNTIME DESTINATION ${QPU_INSTALL_APP_DIR} COMPONENT ${component})
    install(CODE "
        set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin_dir}\")
        message(STATUS \"Installing: \${bin_dir}/${target}\")
        file(CREATE_LINK ../${QPU_INSTALL_APP_DIR}/${target} \"\${bin_dir}/${target}\" SYMBOLIC)
    " COMPONENT ${component})
endfunction()

# The program folder, as the build stages it in build/app/: the executables, the
# communication and printer information libraries, the shipped plug-ins and the product
# data. The emulator is a component of its own.
set(qpu_runtime_targets QPComm PrtInfMgrDLL)
get_property(qpu_plugin_dirs DIRECTORY ${CMAKE_SOURCE_DIR}/plugins PROPERTY SUBDIRECTORIES)
foreach(dir IN LISTS qpu_plugin_dirs)
    get_property(dir_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS dir_targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "MODULE_LIBRARY")
            list(APPEND qpu_runtime_targets ${target})
        endif()
    endforeach()
endforeach()
foreach(target IN LISTS qpu_runtime_targets)
    if(TARGET ${target})
        install(TARGETS ${target}
            RUNTIME DESTINATION ${QPU_INSTALL_APP_DIR} COMPONENT Runtime
            LIBRARY DESTINATION ${QPU_INSTALL_APP_DIR} COMPONENT Runtime)
    endif()
endforeach()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/program/
    DESTINATION ${QPU_INSTALL_APP_DIR}
    COMPONENT Runtime
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                          GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

qpu_install_program(qp60util Runtime)
qpu_install_program(qp60ctl Runtime)
install(FILES ${QPU_PACKAGING_DIR}/completion/qp60ctl
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT Runtime)

install(FILES ${QPU_PACKAGING_DIR}/qp60util.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Runtime)
install(FILES ${QPU_PACKAGING_DIR}/qp60util.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT Runtime)
install(FILES ${QPU_METAINFO_FILE}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT Runtime)
install(FILES ${QPU_PACKAGING_DIR}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qp60util COMPONENT Runtime)
install(FILES ${QPU_MAN_DIR}/qp60util.1.gz ${QPU_MAN_DIR}/qp60ctl.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)

if(TARGET qpr60-emulator)
    qpu_install_program(qpr60-emulator Emulator)
    install(FILES ${QPU_MAN_DIR}/qpr60-emulator.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Emulator)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Sdk.cmake)

# Every package carries the copyright file and the changelog in its documentation folder.
foreach(component package IN ZIP_LISTS qpu_components qpu_package_names)
    install(FILES ${QPU_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
    install(FILES ${QPU_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# Debian packages, one per component.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qp60util)
set(CPACK_PACKAGE_VENDOR "VORKA")
set(CPACK_PACKAGE_CONTACT "VORKA QP-R60 Utility team <qp60util@vorka.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${qpu_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QPU_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps (with file, which CPack uses to find the ELF files) derives the Qt 6,
# libcups2 and C++ runtime dependencies; a machine without them gets the list written out.
find_program(QPU_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(QPU_FILE_COMMAND file)
if(QPU_DPKG_SHLIBDEPS AND QPU_FILE_COMMAND)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(qpu_runtime_depends "adduser")
else()
    set(qpu_runtime_depends
        "adduser, libqt6core6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6widgets6 (>= 6.2), libqt6network6 (>= 6.2), libcups2, libstdc++6, libc6")
endif()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qp60util)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${qpu_runtime_depends}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${QPU_PACKAGING_DIR}/postinst ${QPU_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Descriptions: the first line is the package's synopsis.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION [[
Setup utility for the QP-R60 receipt printer
The QP-R60 Utility finds the printer on a serial, parallel, USB, Ethernet or
Bluetooth port, shows its identity and status and reads, changes and writes
back its settings through setting pages. It also prepares output files without
a printer.]])
set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME qp60util-emulator)
set(CPACK_DEBIAN_EMULATOR_DESCRIPTION [[
QP-R60 receipt printer emulator
A QP-R60 receipt printer on TCP and pseudo-terminals, for demonstrations and
tests of the QP-R60 Utility without a printer.]])
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME qp60util-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "qt6-base-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[
SDK for setting pages of the QP-R60 Utility
The C contract headers, the plug-in helper library, a pkg-config file and a
CMake package (find_package(Qp60UtilSdk)) for building setting-page plug-ins
of the QP-R60 Utility outside its source tree, with a sample plug-in.]])
set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "QP-R60 Utility")
set(CPACK_COMPONENT_EMULATOR_DISPLAY_NAME "QP-R60 printer emulator")
set(CPACK_COMPONENT_DEVELOPMENT_DISPLAY_NAME "QP-R60 Utility plug-in SDK")

include(CPack)
