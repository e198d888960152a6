# Installation: the versioned library, its headers, the host platform
# libraries, the tool, a CMake package (find_package(ssh_msg_def) gives
# ssh_msg_def::ssh_msg_def, ::vorn_host and ::zvd_host) and ssh_msg_def.pc.
# Everything is relocatable: the prefix may be chosen at install time.
include(CMakePackageConfigHelpers)

set(SMD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ssh_msg_def)
target_include_directories(ssh_msg_def INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS ssh_msg_def vorn_host zvd_host EXPORT ssh_msg_def-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/ssh_msg_def DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ssh_msg_def-targets NAMESPACE ssh_msg_def:: DESTINATION ${SMD_CMAKE_DIR})
if(TARGET sshmsg)
  install(TARGETS sshmsg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

configure_package_config_file(cmake/ssh_msg_def-config.cmake.in ssh_msg_def-config.cmake
                              INSTALL_DESTINATION ${SMD_CMAKE_DIR})
write_basic_package_version_file(ssh_msg_def-config-version.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config-version.cmake DESTINATION ${SMD_CMAKE_DIR})

# pkg-config finds the prefix from where the .pc file lies.
file(RELATIVE_PATH SMD_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" SMD_PC_TO_PREFIX "${SMD_PC_TO_PREFIX}")
configure_file(cmake/ssh_msg_def.pc.in ssh_msg_def.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
