# The qp60util-dev package: the C contract headers, the plug-in helper library (with the
# settings library it builds on), a pkg-config file, a CMake package
# (find_package(Qp60UtilSdk)) and the sample plug-in. The installed SDK is relocatable: its
# files find each other relative to where they lie.
include(CMakePackageConfigHelpers)

if(CMAKE_LIBRARY_ARCHITECTURE)
    set(QPU_SDK_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(QPU_SDK_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(QPU_SDK_CMAKEDIR ${QPU_SDK_LIBDIR}/cmake/Qp60UtilSdk)
set(QPU_SDK_PCDIR ${QPU_SDK_LIBDIR}/pkgconfig)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/sdk/include/qpu
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development
    FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_BINARY_DIR}/generated/qpu/version.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qpu COMPONENT Development)

set_target_properties(qpu_plugin_sdk PROPERTIES EXPORT_NAME plugin_sdk)
set_target_properties(qpu_settings PROPERTIES EXPORT_NAME settings)
set_target_properties(qpu_sdk PROPERTIES EXPORT_NAME contracts)
install(TARGETS qpu_plugin_sdk qpu_settings qpu_sdk EXPORT Qp60UtilSdkTargets
    ARCHIVE DESTINATION ${QPU_SDK_LIBDIR} COMPONENT Development)
install(EXPORT Qp60UtilSdkTargets NAMESPACE Qp60UtilSdk::
    DESTINATION ${QPU_SDK_CMAKEDIR} COMPONENT Development)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/sdk/Qp60UtilSdkConfig.cmake.in
    ${CMAKE_BINARY_DIR}/sdk/Qp60UtilSdkConfig.cmake
    INSTALL_DESTINATION ${QPU_SDK_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/Qp60UtilSdkConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/Qp60UtilSdkConfig.cmake
              ${CMAKE_BINARY_DIR}/sdk/Qp60UtilSdkConfigVersion.cmake
    DESTINATION ${QPU_SDK_CMAKEDIR} COMPONENT Development)

file(RELATIVE_PATH QPU_PC_PREFIX_FROM_PCDIR /usr/${QPU_SDK_PCDIR} /usr)
configure_file(${CMAKE_SOURCE_DIR}/cmake/sdk/qp60util-sdk.pc.in
    ${CMAKE_BINARY_DIR}/sdk/qp60util-sdk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/sdk/qp60util-sdk.pc
    DESTINATION ${QPU_SDK_PCDIR} COMPONENT Development)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/sdk/examples/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qp60util-dev/examples COMPONENT Development)
install(FILES ${CMAKE_SOURCE_DIR}/sdk/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qp60util-dev COMPONENT Development)
