# The Windows cross build (32-bit, or 64-bit where 32-bit programs cannot
# run): what it links, what it runs its programs with, and the
# Debian-packaged sources it builds for Windows itself.

# The plug-in is loaded into an editor that ships none of mingw-w64's runtime
# DLLs, so the C++ runtime, libgcc and winpthread are linked into every
# program and into the DLL: they depend on Windows' own system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)

enable_language(RC)

# Tests and tools of this build run under Wine, in a prefix private to the
# build folder (see cmake/wine-run.sh.in).
set(VELDARA_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VELDARA_WINEARCH win64)
  set(VELDARA_WINE /usr/lib/wine/wine64)
else()
  set(VELDARA_WINEARCH win32)
  set(VELDARA_WINE wine)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# libjpeg and meshoptimizer, cross-built by scripts/mingw-libjpeg.sh and
# scripts/mingw-meshoptimizer.sh from Debian's source packages.
set(VELDARA_MINGW_DEPS "${PROJECT_SOURCE_DIR}/build/mingw-deps" CACHE PATH
  "Prefix of the libraries cross-built for Windows (scripts/mingw-libjpeg.sh, scripts/mingw-meshoptimizer.sh)")

# The static library LIBRARY with its HEADER from that prefix, as the imported
# target TARGET; a missing one names the script that builds it.
function(veldara_cross_built_library target library header script package)
  find_library(VELDARA_MINGW_${library} NAMES ${library} PATHS ${VELDARA_MINGW_DEPS}/lib
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT VELDARA_MINGW_${library} OR NOT EXISTS ${VELDARA_MINGW_DEPS}/include/${header})
    message(FATAL_ERROR "${library} for Windows not found in ${VELDARA_MINGW_DEPS}: run scripts/setup.sh "
                        "(or scripts/${script}), which cross-builds it from Debian's ${package} source package.")
  endif()
  add_library(${target} STATIC IMPORTED)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${VELDARA_MINGW_${library}}
    INTERFACE_INCLUDE_DIRECTORIES ${VELDARA_MINGW_DEPS}/include)
endfunction()

veldara_cross_built_library(JPEG::JPEG libjpeg.a jpeglib.h mingw-libjpeg.sh libjpeg-turbo)
veldara_cross_built_library(meshoptimizer::meshoptimizer libmeshoptimizer.a meshoptimizer.h mingw-meshoptimizer.sh
                            meshoptimizer)

# CLI11 is header-only; its headers sit in the build machine's /usr/include,
# which a Windows build must never search as a whole. A folder holding only a
# link to them gives the command line its <CLI/...> includes.
set(VELDARA_CLI11_INCLUDE ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${VELDARA_CLI11_INCLUDE})
file(CREATE_LINK /usr/include/CLI ${VELDARA_CLI11_INCLUDE}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${VELDARA_CLI11_INCLUDE}
  INTERFACE_INCLUDE_DIRECTORIES ${VELDARA_CLI11_INCLUDE})
# nlohmann-json, header-only too, the same way.
set(VELDARA_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${VELDARA_JSON_INCLUDE})
file(CREATE_LINK /usr/include/nlohmann ${VELDARA_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
  ${VELDARA_JSON_INCLUDE} INTERFACE_INCLUDE_DIRECTORIES ${VELDARA_JSON_INCLUDE})

# GoogleTest from Debian's source copy (libgtest-dev), built with this toolchain.
if(VELDARA_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Its own CMake files define the GTest:: targets that tests/ links.
endif()
