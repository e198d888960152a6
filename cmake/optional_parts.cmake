# The parts beside the library that need packages the library does not: the
# sshmsg tool, the tests and the benchmarks. Each is chosen by a cache variable:
#   AUTO  (default) built when everything it needs is found; otherwise left out,
#         with one configure line saying what is missing
#   ON    required: anything missing is a configure error
#   OFF   left out
#
# smd_optional_part(VAR WHAT NEED...) sets SMD_BUILD_<X> for VAR = SSH_MSG_DEF_<X>
# to ON or OFF. A NEED is a package for find_package, or an absolute path that
# must exist.
function(smd_optional_part var what)
  set(${var} AUTO CACHE STRING "Build the ${what}: AUTO (when ${ARGN} found), ON or OFF")
  set_property(CACHE ${var} PROPERTY STRINGS AUTO ON OFF)
  string(REPLACE SSH_MSG_DEF_ SMD_BUILD_ result ${var})
  set(mode "${${var}}")
  if(NOT mode STREQUAL "AUTO" AND NOT mode)
    set(${result} OFF PARENT_SCOPE)
    return()
  endif()

  set(missing "")
  foreach(need IN LISTS ARGN)
    if(IS_ABSOLUTE "${need}")
      if(NOT EXISTS "${need}")
        list(APPEND missing "${need}")
      endif()
    else()
      if(mode STREQUAL "AUTO")
        find_package(${need} QUIET)
      else()
        find_package(${need} REQUIRED)
      endif()
      if(NOT ${need}_FOUND)
        list(APPEND missing ${need})
      endif()
    endif()
  endforeach()

  if(missing AND mode STREQUAL "AUTO")
    list(JOIN missing " and " missing)
    message(STATUS "ssh_msg_def: ${what} off (${missing} not found); -D${var}=ON to require it")
    set(${result} OFF PARENT_SCOPE)
  elseif(missing)
    list(JOIN missing " and " missing)
    message(FATAL_ERROR "ssh_msg_def: ${var}=${mode} but ${missing} not found")
  else()
    set(${result} ON PARENT_SCOPE)
  endif()
endfunction()
