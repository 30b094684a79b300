# Options every shipped object is built with. Programs and libraries link
# `camnet_strict`; unit tests use `camnet_warnings` only, because GoogleTest
# itself is built with exceptions and RTTI.
add_library(camnet_warnings INTERFACE)
target_compile_options(camnet_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Werror)

add_library(camnet_strict INTERFACE)
target_link_libraries(camnet_strict INTERFACE camnet_warnings)
target_compile_options(camnet_strict INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
  -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables)
# No page-aligned padding between code and data: a camera has little flash.
target_link_options(camnet_strict INTERFACE -Wl,--gc-sections -Wl,--as-needed
  -Wl,-z,noseparate-code -Wl,--build-id=none)

# camnet_program(<name> <sources>...): a shipped program. It links libc (and
# whatever the caller adds) but never libstdc++.so: only header-only parts of
# the C++ library are used, and libgcc pieces are linked statically.
function(camnet_program name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE camnet_strict)
  target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  if(CAMNET_STRIP)
    target_link_options(${name} PRIVATE -s)
  endif()
endfunction()
