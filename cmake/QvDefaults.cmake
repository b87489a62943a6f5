# Project-wide compile settings: warnings everywhere, sanitizers when asked.
add_compile_options(-Wall -Wextra)
if(QV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Which C++ runtime a shared library carries. An exception thrown under one copy of the C++
# runtime and unwinder and caught under another aborts the process, so:
# - A library whose interface gives C++ classes or lets exceptions out to its callers (libqvhost's
#   SYSAPI exceptions, libqvbmc's CIPMException) calls qv_cxx_interface(TARGET): it uses the shared
#   runtime, and every program that links it (directly or through another library) does too
#   instead of taking a static copy (see qv_agent_link_options).
# - A library with a C interface that catches everything at its boundary may call
#   qv_private_cxx_runtime(TARGET): it then carries a hidden static copy of the runtime, so an
#   agent that loads it never loads the shared libstdc++ (the largest part of an agent's start-up).
# Decide from the interface, never from the cost.
# A library makes one of the two choices, once.
function(qv_choose_cxx_runtime target choice)
  get_target_property(earlier ${target} QV_CXX_RUNTIME)
  if(earlier AND NOT earlier STREQUAL choice)
    message(FATAL_ERROR "${target}: a library whose interface throws cannot carry a private C++ runtime")
  endif()
  set_property(TARGET ${target} PROPERTY QV_CXX_RUNTIME ${choice})
endfunction()

function(qv_cxx_interface target)
  qv_choose_cxx_runtime(${target} shared)
  set_property(TARGET ${target} PROPERTY INTERFACE_QV_SHARED_CXX_RUNTIME ON)
  set_property(TARGET ${target} APPEND PROPERTY COMPATIBLE_INTERFACE_BOOL QV_SHARED_CXX_RUNTIME)
endfunction()

function(qv_private_cxx_runtime target)
  qv_choose_cxx_runtime(${target} private)
  # Not under sanitizers: a private runtime's operator delete would bypass their allocator.
  if(NOT QV_SANITIZE AND NOT QV_FUZZ_BUILD)
    # The unused part of the runtime is dropped: a smaller library is mapped faster.
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc
                        LINKER:--exclude-libs=libstdc++.a:libgcc.a:libgcc_eh.a LINKER:--gc-sections)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/private_runtime_unload.cpp)
  endif()
endfunction()

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

# qv_compiled_in(LIB...): for each shared library of the suite, a static library LIB_compiled_in
# from the same sources, for the programs the library is compiled into (a program run once per
# request then maps no shared object of ours, nor the shared C++ runtime one would pull in). The
# shared library stays for its other users; shared libraries of the suite that it links are
# given the same treatment.
function(qv_compiled_in)
  foreach(lib ${ARGN})
    if(TARGET ${lib}_compiled_in)
      continue()
    endif()
    get_target_property(sources ${lib} SOURCES)
    get_target_property(dir ${lib} SOURCE_DIR)
    list(TRANSFORM sources PREPEND "${dir}/" REGEX "^[^/$]")
    add_library(${lib}_compiled_in STATIC ${sources})
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS)
      get_target_property(value ${lib} ${property})
      if(value)
        set_property(TARGET ${lib}_compiled_in PROPERTY ${property} "${value}")
      endif()
    endforeach()
    get_target_property(deps ${lib} LINK_LIBRARIES)
    set(static_deps "")
    foreach(dep ${deps})
      if(TARGET ${dep})
        get_target_property(type ${dep} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
          qv_compiled_in(${dep})
          set(dep ${dep}_compiled_in)
        endif()
      endif()
      list(APPEND static_deps ${dep})
    endforeach()
    if(static_deps)
      target_link_libraries(${lib}_compiled_in PUBLIC ${static_deps})
    endif()
  endforeach()
endfunction()
