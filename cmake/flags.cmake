# The flags of every target. The project's own go first, the environment's
# after them: CMake reads CFLAGS, CXXFLAGS and LDFLAGS into CMAKE_<LANG>_FLAGS
# and the linker flags at the first configure, and they are kept as given, so
# that a distribution's flags (dpkg-buildflags) or an integrator's apply and,
# where they disagree with these, win.
#
# Hardening, on every object: a stack protector (the canary's check fires only
# on a stack already corrupted), stack-clash probes, and control-flow
# protection: on x86-64 IBT and SHSTK, on 64-bit Arm BTI and PAC. The linker
# marks a shared object with a property only when every object of its link
# carries it, which the library's link ensures (no start files: see
# CMakeLists.txt).
set(SMD_HARDENING -fstack-protector-strong -fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  list(APPEND SMD_HARDENING -fcf-protection=full)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  list(APPEND SMD_HARDENING -mbranch-protection=standard)
endif()

# Reproducible: no path of the source or build folder in the objects (debug
# information, __FILE__), so that the same commit builds the same bytes in
# any folder. Of two maps the later is tried first: a build folder inside the
# source tree becomes "." too.
set(SMD_PREFIX_MAP -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

list(JOIN SMD_HARDENING " " SMD_PROJECT_FLAGS)
list(JOIN SMD_PREFIX_MAP " " SMD_PROJECT_MAP)
foreach(lang C CXX)
  set(CMAKE_${lang}_FLAGS "${SMD_PROJECT_FLAGS} ${SMD_PROJECT_MAP} ${CMAKE_${lang}_FLAGS}")
endforeach()

# Warnings are errors in the project's presets and CI only: a plain configure
# leaves them warnings, so that a newer compiler's new warning does not break
# an adopter's build.
option(SSH_MSG_DEF_WERROR "Make every warning an error (on in the presets and CI)" OFF)
add_compile_options(-Wall -Wextra $<$<BOOL:${SSH_MSG_DEF_WERROR}>:-Werror>)

# The build tree's run paths relative to each program ($ORIGIN/...), so that
# they, and the installed programs whose run paths replace them in place, do
# not depend on the build folder's name.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
