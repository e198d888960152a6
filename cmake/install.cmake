# Installation, in components, each installed alone by
# `cmake --install BUILD --component NAME`:
#   runtime      libssh_msg_def.so.1 (the file and its soname link), nothing else
#   development  the headers, the link libssh_msg_def.so, pkg-config files
#                (ssh_msg_def, vorn_host, zvd_host), the CMake package
#                (find_package(ssh_msg_def) gives ssh_msg_def::ssh_msg_def), and
#                under share/doc/ssh_msg_def the license and the change log
#   host         the host platform libraries with their links, and their part of
#                the CMake package (ssh_msg_def::vorn_host, ::zvd_host)
#   tool         sshmsg and its manual page (when built)
#   examples     the example programs, under share/doc/ssh_msg_def/examples
# Everything is relocatable: the prefix may be chosen at install time.
include(CMakePackageConfigHelpers)

set(SMD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ssh_msg_def)
set(SMD_LICENSE Apache-2.0)
set(SMD_LICENSE_FILE ${CMAKE_INSTALL_DOCDIR}/LICENSE)
target_include_directories(ssh_msg_def INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS ssh_msg_def EXPORT ssh_msg_def-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(TARGETS vorn_host zvd_host EXPORT ssh_msg_def-host-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT host)
install(DIRECTORY include/ssh_msg_def DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT ssh_msg_def-targets NAMESPACE ssh_msg_def:: DESTINATION ${SMD_CMAKE_DIR} COMPONENT development)
install(EXPORT ssh_msg_def-host-targets NAMESPACE ssh_msg_def:: DESTINATION ${SMD_CMAKE_DIR} COMPONENT host)
if(TARGET sshmsg)
  install(TARGETS sshmsg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  # The page's header names the project's version and its date: the day of
  # SOURCE_DATE_EPOCH when set (as distributions build), else the date of this
  # version's heading in CHANGELOG.md, else the tree's copy's date.
  file(READ docs/man/sshmsg.1 SMD_MAN)
  file(READ CHANGELOG.md SMD_CHANGES)
  string(REPLACE "." "\\." SMD_VERSION_RE "${PROJECT_VERSION}")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP SMD_MAN_DATE "%Y-%m-%d" UTC)
  elseif(SMD_CHANGES MATCHES "\n## ${SMD_VERSION_RE} — ([0-9]+-[0-9]+-[0-9]+)\n")
    set(SMD_MAN_DATE ${CMAKE_MATCH_1})
  endif()
  if(SMD_MAN_DATE)
    string(REGEX REPLACE "^(\\.TH [^ ]+ [^ ]+) [^ ]+" "\\1 ${SMD_MAN_DATE}" SMD_MAN "${SMD_MAN}")
  endif()
  string(REGEX REPLACE "\"ssh_msg_def [^\"]*\"" "\"ssh_msg_def ${PROJECT_VERSION}\"" SMD_MAN "${SMD_MAN}")
  file(CONFIGURE OUTPUT sshmsg.1 CONTENT "${SMD_MAN}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS docs/man/sshmsg.1 CHANGELOG.md)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sshmsg.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()
install(FILES LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT development)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT examples)

configure_package_config_file(cmake/ssh_msg_def-config.cmake.in ssh_msg_def-config.cmake
                              INSTALL_DESTINATION ${SMD_CMAKE_DIR} PATH_VARS SMD_LICENSE_FILE)
write_basic_package_version_file(ssh_msg_def-config-version.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ssh_msg_def-config-version.cmake DESTINATION ${SMD_CMAKE_DIR}
        COMPONENT development)

# pkg-config finds the prefix from where the .pc file lies.
file(RELATIVE_PATH SMD_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" SMD_PC_TO_PREFIX "${SMD_PC_TO_PREFIX}")
set(SMD_PC_ssh_msg_def "${PROJECT_DESCRIPTION} (on a workstation add vorn_host)")
set(SMD_PC_vorn_host "Host messaging framework for ssh_msg_def on a workstation")
set(SMD_PC_zvd_host "Host OS abstraction layer for ssh_msg_def on a workstation: log lines and counted memory")
foreach(SMD_PC_NAME ssh_msg_def vorn_host zvd_host)
  set(SMD_PC_DESCRIPTION "${SMD_PC_${SMD_PC_NAME}}")
  configure_file(cmake/pkgconfig.pc.in ${SMD_PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${SMD_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT development)
endforeach()
