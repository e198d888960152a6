# Installation: the versioned library, its headers, the host platform
# libraries, the tool and its manual page (when built), a CMake package
# (find_package(ssh_msg_def) gives ssh_msg_def::ssh_msg_def, ::vorn_host and
# ::zvd_host), pkg-config files (ssh_msg_def, vorn_host, zvd_host), and under
# share/doc/ssh_msg_def the license, the change log and the example programs.
# Everything is relocatable: the prefix may be chosen at install time.
include(CMakePackageConfigHelpers)

set(SMD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ssh_msg_def)
set(SMD_LICENSE Apache-2.0)
set(SMD_LICENSE_FILE ${CMAKE_INSTALL_DOCDIR}/LICENSE)
target_include_directories(ssh_msg_def INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS ssh_msg_def vorn_host zvd_host EXPORT ssh_msg_def-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/ssh_msg_def DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ssh_msg_def-targets NAMESPACE ssh_msg_def:: DESTINATION ${SMD_CMAKE_DIR})
if(TARGET sshmsg)
  install(TARGETS sshmsg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The page's header names the project's version, whatever the tree's copy says.
  file(READ docs/man/sshmsg.1 SMD_MAN)
  string(REGEX REPLACE "\"ssh_msg_def [^\"]*\"" "\"ssh_msg_def ${PROJECT_VERSION}\"" SMD_MAN "${SMD_MAN}")
  file(CONFIGURE OUTPUT sshmsg.1 CONTENT "${SMD_MAN}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS docs/man/sshmsg.1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sshmsg.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

configure_package_config_file(cmake/ssh_msg_def-config.cmake.in ssh_msg_def-config.cmake
                              INSTALL_DESTINATION ${SMD_CMAKE_DIR} PATH_VARS SMD_LICENSE_FILE)
write_basic_package_version_file(ssh_msg_def-config-version.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config-version.cmake DESTINATION ${SMD_CMAKE_DIR})

# pkg-config finds the prefix from where the .pc file lies.
file(RELATIVE_PATH SMD_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" SMD_PC_TO_PREFIX "${SMD_PC_TO_PREFIX}")
set(SMD_PC_ssh_msg_def "${PROJECT_DESCRIPTION} (on a workstation add vorn_host)")
set(SMD_PC_vorn_host "Host messaging framework for ssh_msg_def on a workstation")
set(SMD_PC_zvd_host "Host OS abstraction layer for ssh_msg_def on a workstation: log lines and counted memory")
foreach(SMD_PC_NAME ssh_msg_def vorn_host zvd_host)
  set(SMD_PC_DESCRIPTION "${SMD_PC_${SMD_PC_NAME}}")
  configure_file(cmake/pkgconfig.pc.in ${SMD_PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${SMD_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
