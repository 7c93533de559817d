# System libraries from Debian, gathered into one interface target.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(SDL2 CONFIG REQUIRED)
find_package(OpenAL REQUIRED)
find_package(box2d CONFIG REQUIRED)
find_package(json-c CONFIG REQUIRED)
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(GIF REQUIRED)
find_package(ZLIB REQUIRED)
find_package(CURL REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL EGL)
pkg_check_modules(LIBZIP     REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(VORBISIDEC REQUIRED IMPORTED_TARGET vorbisidec)
pkg_check_modules(ALUT       REQUIRED IMPORTED_TARGET freealut)
pkg_check_modules(EPOXY      REQUIRED IMPORTED_TARGET epoxy)

add_library(runner_deps INTERFACE)
target_compile_definitions(runner_deps INTERFACE AL_ALEXT_PROTOTYPES)
target_link_libraries(runner_deps INTERFACE
  SDL2::SDL2 OpenAL::OpenAL PkgConfig::ALUT PkgConfig::VORBISIDEC box2d::box2d
  PkgConfig::LIBZIP json-c::json-c Freetype::Freetype PNG::PNG JPEG::JPEG GIF::GIF
  ZLIB::ZLIB CURL::libcurl PkgConfig::EPOXY OpenGL::EGL Threads::Threads ${CMAKE_DL_LIBS})
