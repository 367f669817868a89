# Build helpers shared by every folder.

# Warnings every target of ours compiles with.
function(tessark_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter
    -Wno-missing-field-initializers)
  if(TESSARK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library from every .cpp file of the calling folder (sub-folders included), less the
# files named after EXCLUDE (relative to the folder).
#   tessark_library(name LIBS dep... [EXCLUDE file...])
function(tessark_library name)
  cmake_parse_arguments(ARG "" "" "LIBS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  tessark_layer_includes(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  tessark_warnings(${name})
  # Every runtime and stand-in library goes into the installed libtessark.
  set_property(GLOBAL APPEND PROPERTY TESSARK_LIBRARIES ${name})
endfunction()

# The layers: a runtime or stand-in library sees the whole source tree (its own internals and
# the layers below), but passes on only the public headers. So a game, or anything else built
# on the runtime, can include nothing but tessark/*.h.
function(tessark_layer_includes target)
  target_include_directories(${target}
    PRIVATE ${CMAKE_SOURCE_DIR}
    PUBLIC $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/runtime/include>
           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endfunction()

# A GoogleTest program from every .cpp file of the calling folder, registered with CTest.
# Tests run headless: the shared main (tests/test_main.cpp) makes SDL's dummy video and audio
# drivers the defaults. ENV adds one VAR=value to the tests' environment.
#   tessark_test(name LIBS dep... [ENV VAR=value])
function(tessark_test name)
  cmake_parse_arguments(ARG "" "ENV" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources} ${CMAKE_SOURCE_DIR}/tests/test_main.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/runtime/include)
  tessark_warnings(${name})
  set(properties)
  if(ARG_ENV)
    set(properties PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
  # The tests are listed when CTest runs, not when the program links: a relink (every test
  # program relinks when a library below it changes) then costs only the link.
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    ${properties}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
endfunction()
