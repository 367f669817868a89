# Build helpers shared by every folder.

# Warnings every target of ours compiles with.
function(tessark_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter
    -Wno-missing-field-initializers)
  if(TESSARK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# add_subdirectory for every immediate sub-folder of DIR that has a CMakeLists.txt, sorted.
function(tessark_add_subdirectories dir)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# A static library from every .cpp file of the calling folder (sub-folders included).
#   tessark_library(name LIBS dep...)
function(tessark_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/runtime/include)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  tessark_warnings(${name})
endfunction()

# A GoogleTest program from every .cpp file of the calling folder, registered with CTest.
# Tests run headless: SDL's dummy video and audio drivers, unless a test sets its own.
#   tessark_test(name LIBS dep... [ENV VAR=value...])
function(tessark_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/runtime/include)
  tessark_warnings(${name})
  # The environment is one list-valued property: its separators must survive being passed on.
  set(environment SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ${ARG_ENV})
  string(REPLACE ";" "\\;" environment "${environment}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "${environment}"
    DISCOVERY_TIMEOUT 60)
endfunction()
