if(CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest built for the host only; build it from its
  # sources for the target.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# camnet_unit_test(<name> SOURCES <files>... LIBS <targets>... [ENV <k=v>...]
#                  [PRELOAD <shared library target>])
# A GoogleTest executable registered with ctest (run under the cross emulator
# when cross-compiling). PRELOAD loads a library into the test process first;
# under qemu-arm it goes into the guest's environment, not qemu's own.
function(camnet_unit_test name)
  cmake_parse_arguments(T "" "PRELOAD" "SOURCES;LIBS;ENV" ${ARGN})
  if(T_PRELOAD)
    if(CMAKE_CROSSCOMPILING)
      list(APPEND T_ENV "QEMU_SET_ENV=LD_PRELOAD=$<TARGET_FILE:${T_PRELOAD}>")
    else()
      list(APPEND T_ENV "LD_PRELOAD=$<TARGET_FILE:${T_PRELOAD}>")
    endif()
    # The sanitizer runtime then no longer comes first; that is fine here.
    list(APPEND T_ENV "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} camnet_warnings GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(T_PRELOAD)
    add_dependencies(${name} ${T_PRELOAD})
  endif()
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
  set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 300)
endfunction()
