# The runtime as an installed library, the way Linux libraries ship:
#  - libtessark.so.1 (the SONAME; the file is libtessark.so.<version>): every runtime and stand-in
#    library. What they are built on (SDL2, FreeType, libsndfile, the synthesiser ...) is linked
#    privately, so a program that uses the runtime links the runtime alone.
#  - libtessark_main.a: nothing but the entry's main(), which hands the game's GameMain() to the
#    runtime's EntryRun. A program with a main() of its own never takes it from the archive.
#  - libtessark.a: the same runtime as one static archive, main() included, for those who link
#    statically; they link what it is built on too (the CMake package's `static` component and
#    tessark-static.pc name it).
# Beside them: the public headers under include/tessark/, a CMake package (Tessark::tessark is
# the shared runtime with main(); Tessark::runtime the shared runtime alone; Tessark::static the
# archive) and pkg-config files. The pieces are the libraries tessark_library made, so a new
# module folder joins by taking part in the build (runtime/CMakeLists.txt's TESSARK_MODULES).
include(CMakePackageConfigHelpers)

get_property(tessark_libraries GLOBAL PROPERTY TESSARK_LIBRARIES)
set(tessark_objects)
foreach(library ${tessark_libraries})
  list(APPEND tessark_objects $<TARGET_OBJECTS:${library}>)
endforeach()
set(tessark_sdk_dir ${CMAKE_BINARY_DIR}/sdk)
set(tessark_public_includes
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/runtime/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# What the stand-ins are built on. The pkg-config names feed the static archive's users (the CMake
# package finds them again; tessark-static.pc requires them); a module that needs another system
# library adds it here.
# The synthesiser is not among them: it is loaded when MIDI first plays.
set(TESSARK_PKG_MODULES sdl2 SDL2_image libtiff-4 libdeflate freetype2 fontconfig sndfile)
set(TESSARK_PKG_TARGETS PkgConfig::SDL2 PkgConfig::SDL2_IMAGE PkgConfig::TIFF PkgConfig::DEFLATE
  PkgConfig::FREETYPE
  PkgConfig::FONTCONFIG PkgConfig::SNDFILE)
set(TESSARK_PLAIN_LIBS squish stb ${TESSARK_DL_LIBS})

# The shared runtime.
add_library(tessark_shared SHARED ${tessark_objects})
set_target_properties(tessark_shared PROPERTIES OUTPUT_NAME tessark EXPORT_NAME runtime
  VERSION ${PROJECT_VERSION} SOVERSION 1 LINKER_LANGUAGE CXX
  LIBRARY_OUTPUT_DIRECTORY ${tessark_sdk_dir})
target_include_directories(tessark_shared INTERFACE ${tessark_public_includes})
target_compile_features(tessark_shared INTERFACE cxx_std_17)
target_link_libraries(tessark_shared PRIVATE ${TESSARK_PKG_TARGETS} squish::squish
  ${TESSARK_STB_LIBRARY} ${TESSARK_DL_LIBS} Threads::Threads)
if(NOT TESSARK_SANITIZE AND NOT TESSARK_FUZZ)
  # Every symbol the runtime uses is found among its own dependencies.
  target_link_options(tessark_shared PRIVATE -Wl,--no-undefined)
endif()

# main() for programs built on the shared runtime.
add_library(tessark_main_sdk STATIC $<TARGET_OBJECTS:tessark_main>)
set_target_properties(tessark_main_sdk PROPERTIES OUTPUT_NAME tessark_main EXPORT_NAME main
  ARCHIVE_OUTPUT_DIRECTORY ${tessark_sdk_dir} LINKER_LANGUAGE CXX)
target_link_libraries(tessark_main_sdk INTERFACE tessark_shared)

# What a game links: main() first, then the runtime it calls.
add_library(tessark_sdk INTERFACE)
set_target_properties(tessark_sdk PROPERTIES EXPORT_NAME tessark)
target_link_libraries(tessark_sdk INTERFACE tessark_main_sdk tessark_shared)
add_library(Tessark::tessark ALIAS tessark_sdk)

# The static archive.
add_library(tessark_static STATIC ${tessark_objects} $<TARGET_OBJECTS:tessark_main>)
set_target_properties(tessark_static PROPERTIES OUTPUT_NAME tessark EXPORT_NAME static
  ARCHIVE_OUTPUT_DIRECTORY ${tessark_sdk_dir} LINKER_LANGUAGE CXX)
target_include_directories(tessark_static INTERFACE ${tessark_public_includes})
target_compile_features(tessark_static INTERFACE cxx_std_17)
target_link_libraries(tessark_static INTERFACE ${TESSARK_PKG_TARGETS} ${TESSARK_PLAIN_LIBS}
  Threads::Threads)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/runtime/include/tessark
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime
  FILES_MATCHING PATTERN "*.h")
install(TARGETS tessark_shared tessark_main_sdk tessark_sdk EXPORT TessarkTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(TARGETS tessark_static EXPORT TessarkStaticTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
set(tessark_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessark)
install(EXPORT TessarkTargets NAMESPACE Tessark:: DESTINATION ${tessark_cmake_dir}
  COMPONENT runtime)
install(EXPORT TessarkStaticTargets NAMESPACE Tessark:: DESTINATION ${tessark_cmake_dir}
  COMPONENT runtime)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/TessarkConfig.cmake.in
  ${tessark_sdk_dir}/TessarkConfig.cmake INSTALL_DESTINATION ${tessark_cmake_dir})
write_basic_package_version_file(${tessark_sdk_dir}/TessarkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${tessark_sdk_dir}/TessarkConfig.cmake
  ${tessark_sdk_dir}/TessarkConfigVersion.cmake
  DESTINATION ${tessark_cmake_dir} COMPONENT runtime)

# pkg-config: tessark.pc for the shared runtime (its own flags only), tessark-static.pc for the
# archive (which requires what the runtime is built on).
list(JOIN TESSARK_PKG_MODULES " " TESSARK_PC_REQUIRES)
set(TESSARK_PC_LIBS "")
foreach(library ${TESSARK_PLAIN_LIBS})
  string(APPEND TESSARK_PC_LIBS " -l${library}")
endforeach()
# The prefix is found from the file's own place, so an installed tree can be moved.
file(RELATIVE_PATH TESSARK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tessark.pc.in ${tessark_sdk_dir}/tessark.pc @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tessark-static.pc.in ${tessark_sdk_dir}/tessark-static.pc
  @ONLY)
install(FILES ${tessark_sdk_dir}/tessark.pc ${tessark_sdk_dir}/tessark-static.pc
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
