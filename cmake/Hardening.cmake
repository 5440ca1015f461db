# The protections the build gives its programs, and BRINDLET_HARDEN.
#
# The flags the build was given (CXXFLAGS and LDFLAGS, and CPPFLAGS where a
# packaging tool adds them to CXXFLAGS, as debhelper does) always win:
# BRINDLET_HARDEN adds only the protections they say nothing about, so a
# distribution's _FORTIFY_SOURCE=3 or its choice of binding stands.
#
# BRINDLET_PROTECTIONS lists what the build asks for, by its flags, its
# toolchain's defaults or BRINDLET_HARDEN: pie, relro, now, stack, fortify;
# the hardening test checks each of them in the program.
# BRINDLET_FORTIFY_UNCHECKED says why fortification can't be checked, when
# it is asked for but can't be there.
include(CheckCXXSourceCompiles)

string(TOUPPER "${CMAKE_BUILD_TYPE}" brindlet_config)
set(brindlet_cxx_flags " ${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${brindlet_config}} ")
set(brindlet_link_flags " ${CMAKE_EXE_LINKER_FLAGS} ${CMAKE_EXE_LINKER_FLAGS_${brindlet_config}} ")
# The last -O decides; none at all is -O0, as is noopt's.
string(REGEX MATCHALL " -O[^ ]*" brindlet_levels "${brindlet_cxx_flags}")
list(PREPEND brindlet_levels " -O0")
list(GET brindlet_levels -1 brindlet_level)
if(brindlet_level STREQUAL " -O0")
  set(brindlet_optimised OFF)
else()
  set(brindlet_optimised ON)
endif()

set(BRINDLET_PROTECTIONS)
# Whatever makes the compiler produce position independent executables:
# its default (Debian's GCC), the flags, or BRINDLET_HARDEN.
if(BRINDLET_HARDEN)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  list(APPEND BRINDLET_PROTECTIONS pie)
else()
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("#ifndef __PIE__\n#error not PIE\n#endif\nint main() { return 0; }" BRINDLET_BUILDS_PIE)
  unset(CMAKE_REQUIRED_QUIET)
  if(BRINDLET_BUILDS_PIE)
    list(APPEND BRINDLET_PROTECTIONS pie)
  endif()
endif()

# The last stack protector flag decides.
string(REGEX MATCHALL " -f(no-)?stack-protector[^ ]*" brindlet_stack "${brindlet_cxx_flags}")
list(PREPEND brindlet_stack none)
list(GET brindlet_stack -1 brindlet_stack)
if(brindlet_stack MATCHES "^ -fstack")
  list(APPEND BRINDLET_PROTECTIONS stack)
elseif(BRINDLET_HARDEN AND brindlet_stack STREQUAL "none")
  add_compile_options(-fstack-protector-strong)
  list(APPEND BRINDLET_PROTECTIONS stack)
endif()

if(brindlet_cxx_flags MATCHES "-D *_FORTIFY_SOURCE=[1-9]")
  list(APPEND BRINDLET_PROTECTIONS fortify)
elseif(BRINDLET_HARDEN AND NOT brindlet_cxx_flags MATCHES "_FORTIFY_SOURCE" AND brindlet_optimised)
  add_compile_options(-D_FORTIFY_SOURCE=2)
  list(APPEND BRINDLET_PROTECTIONS fortify)
endif()
if(NOT brindlet_optimised)
  set(BRINDLET_FORTIFY_UNCHECKED "the build does not optimise (no -O or -O0), and fortification needs it")
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Debian 12's C library fortifies only what clang's builtins can check,
  # none of the printf family in C++: there may be no fortified call at all.
  set(BRINDLET_FORTIFY_UNCHECKED "clang: Debian 12's C library may fortify no call in C++")
endif()

if(brindlet_link_flags MATCHES "-z[, ]*relro[ ,]")
  list(APPEND BRINDLET_PROTECTIONS relro)
elseif(BRINDLET_HARDEN AND NOT brindlet_link_flags MATCHES "relro")
  add_link_options(-Wl,-z,relro)
  list(APPEND BRINDLET_PROTECTIONS relro)
endif()
if(brindlet_link_flags MATCHES "-z[, ]*now[ ,]")
  list(APPEND BRINDLET_PROTECTIONS now)
elseif(BRINDLET_HARDEN AND NOT brindlet_link_flags MATCHES "-z[, ]*(now|lazy)")
  add_link_options(-Wl,-z,now)
  list(APPEND BRINDLET_PROTECTIONS now)
endif()
