# The runtime as an installed library: one archive, libtessark.a, holding every runtime and
# stand-in library (and the program entry, which the linker takes only when the program has no
# main of its own), the public headers under include/tessark/, a CMake package (Tessark::tessark)
# and a pkg-config file. The pieces are the libraries tessark_library made, so a new module
# folder joins by taking part in the build (runtime/CMakeLists.txt's TESSARK_MODULES).
include(CMakePackageConfigHelpers)

get_property(tessark_libraries GLOBAL PROPERTY TESSARK_LIBRARIES)
add_library(tessark_sdk STATIC)
foreach(library ${tessark_libraries})
  target_sources(tessark_sdk PRIVATE $<TARGET_OBJECTS:${library}>)
endforeach()
set_target_properties(tessark_sdk PROPERTIES OUTPUT_NAME tessark EXPORT_NAME tessark
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sdk LINKER_LANGUAGE CXX)
target_include_directories(tessark_sdk INTERFACE
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/runtime/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(tessark_sdk INTERFACE cxx_std_17)
# What the stand-ins are built on. The pkg-config names feed both the CMake package (which finds
# them again) and tessark.pc; a module that needs another system library adds it here.
set(TESSARK_PKG_MODULES sdl2 SDL2_image freetype2 fontconfig sndfile fluidsynth)
set(TESSARK_PKG_TARGETS PkgConfig::SDL2 PkgConfig::SDL2_IMAGE PkgConfig::FREETYPE
  PkgConfig::FONTCONFIG PkgConfig::SNDFILE PkgConfig::FLUIDSYNTH)
set(TESSARK_PLAIN_LIBS squish stb)
target_link_libraries(tessark_sdk INTERFACE ${TESSARK_PKG_TARGETS} ${TESSARK_PLAIN_LIBS}
  Threads::Threads)
add_library(Tessark::tessark ALIAS tessark_sdk)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/runtime/include/tessark
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime
  FILES_MATCHING PATTERN "*.h")
install(TARGETS tessark_sdk EXPORT TessarkTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
set(tessark_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessark)
install(EXPORT TessarkTargets NAMESPACE Tessark:: DESTINATION ${tessark_cmake_dir}
  COMPONENT runtime)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/TessarkConfig.cmake.in
  ${CMAKE_BINARY_DIR}/sdk/TessarkConfig.cmake INSTALL_DESTINATION ${tessark_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/TessarkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/TessarkConfig.cmake
  ${CMAKE_BINARY_DIR}/sdk/TessarkConfigVersion.cmake
  DESTINATION ${tessark_cmake_dir} COMPONENT runtime)

list(JOIN TESSARK_PKG_MODULES " " TESSARK_PC_REQUIRES)
set(TESSARK_PC_LIBS "")
foreach(library ${TESSARK_PLAIN_LIBS})
  string(APPEND TESSARK_PC_LIBS " -l${library}")
endforeach()
# The prefix is found from the file's own place, so an installed tree can be moved.
file(RELATIVE_PATH TESSARK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tessark.pc.in ${CMAKE_BINARY_DIR}/sdk/tessark.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/sdk/tessark.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT runtime)

# The developer's documentation: the guide, the one-page API index (tools/apiindex), the
# reference when `make docs` has made it, and the examples' sources.
set(tessark_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tessark)
install(FILES ${CMAKE_SOURCE_DIR}/docs/guide.md ${CMAKE_BINARY_DIR}/docs/api-index.md
  DESTINATION ${tessark_doc_dir} COMPONENT runtime)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/build/docs/html DESTINATION ${tessark_doc_dir}
  COMPONENT runtime OPTIONAL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${tessark_doc_dir}/examples
  COMPONENT runtime FILES_MATCHING PATTERN "*.cpp" PATTERN "*.h" PATTERN "CMakeLists.txt")
