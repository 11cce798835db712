# How every folder declares its targets. A core links the standard library and other cores
# only; a Qt adapter, a window library or a Qt program exists only in a build with Qt
# (QMX_WITH_QT), so the folders need no guards of their own.

# qmx_core_library(NAME SOURCES... [LINKS lib...]): a Qt-free static library.
function(qmx_core_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  add_library(${name} STATIC ${arg_SOURCES})
  target_link_libraries(${name} PUBLIC qmx_options ${arg_LINKS})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)  # no Qt in a core
endfunction()

# qmx_qt_library(NAME SOURCES... LINKS lib... [RESOURCE_BASE folder RESOURCES file...]): a core's
# Qt adapter, or a library of windows; RESOURCES are compiled in under their paths from the base.
function(qmx_qt_library name)
  if(NOT QMX_WITH_QT)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RESOURCE_BASE" "SOURCES;LINKS;RESOURCES")
  add_library(${name} STATIC ${arg_SOURCES})
  target_link_libraries(${name} PUBLIC qmx_options ${arg_LINKS})
  if(arg_RESOURCES)
    qt_add_resources(${name} "${name}_resources" PREFIX "/" BASE ${arg_RESOURCE_BASE} FILES ${arg_RESOURCES})
  endif()
endfunction()

# qmx_program(NAME [TOOL] SOURCES... [LINKS lib...] [DEPENDS target...]): a shipped program, at
# the top of the build folder, or with TOOL one of ours for the build and the benchmarks, left in
# its folder. Programs belong to the whole build: the fuzz-only and cores-only builds make the
# libraries and what tests them.
function(qmx_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "TOOL" "" "SOURCES;LINKS;DEPENDS")
  if(NOT QMX_WITH_QT)
    return()
  endif()
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE qmx_options ${arg_LINKS})
  if(NOT arg_TOOL)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QMX_PROGRAM_DIR})
  endif()
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()
endfunction()

# qmx_test_suite(NAME FOLDERS folder... LINKS lib... [OFFSCREEN] [DEFINITIONS def...]
#                [DEPENDS target...] [NO_TEST]): one GoogleTest program from every .cpp in the
# folders under tests/, run by ctest under its own name unless NO_TEST (the caller adds its
# own runs); OFFSCREEN runs it on the toolkit's offscreen platform.
function(qmx_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "OFFSCREEN;NO_TEST" "" "FOLDERS;LINKS;DEFINITIONS;DEPENDS")
  set(sources "")
  foreach(folder ${arg_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${arg_LINKS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()
  if(NOT arg_NO_TEST)
    add_test(NAME ${name} COMMAND ${name})
    if(arg_OFFSCREEN)
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
  endif()
endfunction()
