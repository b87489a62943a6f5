# Project-wide compile settings: warnings everywhere, sanitizers when asked.
add_compile_options(-Wall -Wextra)
if(QV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# qv_add_gtest(NAME SOURCES... LIBS ...): one GoogleTest executable, registered with CTest.
function(qv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} qv_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QV_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# Subdirectories that may not exist yet in an early tree are skipped quietly.
function(qv_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
