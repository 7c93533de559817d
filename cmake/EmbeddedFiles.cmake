# The table of images that are part of the program (particle shapes, the overlay's font
# sheet, the splash). tools/embedgen draws them and writes them out as a C++ source file. It is
# built on its own, apart from the runtime, with the one DDS block decoder both share.
add_executable(embedgen ${CMAKE_CURRENT_SOURCE_DIR}/tools/embedgen/embedgen.cpp
                        ${CMAKE_CURRENT_SOURCE_DIR}/src/graphics/Graphics_DDS.cpp)
target_include_directories(embedgen PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(embedgen PRIVATE PNG::PNG ZLIB::ZLIB)
set(EMBEDDED_FILES_SOURCE ${CMAKE_BINARY_DIR}/generated/EmbeddedFilesData.cpp)
add_custom_command(
  OUTPUT ${EMBEDDED_FILES_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND embedgen --cpp ${EMBEDDED_FILES_SOURCE}
  DEPENDS embedgen
  COMMENT "Drawing the embedded images")
