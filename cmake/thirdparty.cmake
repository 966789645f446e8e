# The decoding libraries (libFLAC, libogg, libvorbis, libopus, opusfile), built from the Debian
# source trees scripts/fetch-libs unpacks, with this build's own toolchain, into
# <build>/thirdparty-<processor>, and offered as imported targets: trilvo::flac, trilvo::vorbisfile,
# trilvo::opusfile. Each library is built once per build folder (ExternalProject keeps its stamp).
include(ExternalProject)

set(TRILVO_LIBS_CACHE "${CMAKE_SOURCE_DIR}/.cache/libs" CACHE PATH
    "Folder of the fetched and unpacked library sources (scripts/fetch-libs)")
set(lib_sources "${TRILVO_LIBS_CACHE}/src")
set(lib_packages flac libogg libvorbis opus opusfile)

function(trilvo_source_tree package out)
  set(stamp "${lib_sources}/${package}.dir")
  if(NOT EXISTS "${stamp}")
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  file(STRINGS "${stamp}" name LIMIT_COUNT 1)
  set(${out} "${lib_sources}/${name}" PARENT_SCOPE)
endfunction()

# Fetch what is missing (scripts/setup normally did it already).
foreach(package ${lib_packages})
  trilvo_source_tree(${package} tree)
  if(NOT tree OR NOT EXISTS "${tree}")
    message(STATUS "Fetching the library sources (scripts/fetch-libs)")
    execute_process(COMMAND env TRILVO_LIBS_CACHE=${TRILVO_LIBS_CACHE} ${CMAKE_SOURCE_DIR}/scripts/fetch-libs
                    RESULT_VARIABLE fetched OUTPUT_QUIET)
    if(NOT fetched EQUAL 0)
      message(FATAL_ERROR "scripts/fetch-libs failed: the decoding libraries' sources are missing")
    endif()
    break()
  endif()
endforeach()
foreach(package ${lib_packages})
  trilvo_source_tree(${package} tree)
  string(MAKE_C_IDENTIFIER "${package}" id)
  set(tree_${id} "${tree}")
endforeach()

# The same toolchain as this build (a relative path is taken from the source folder).
get_filename_component(lib_toolchain "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
# Per architecture: a build folder configured again for another toolchain builds them afresh.
set(lib_prefix "${CMAKE_BINARY_DIR}/thirdparty-${CMAKE_SYSTEM_PROCESSOR}")
set(lib_build "${CMAKE_BINARY_DIR}/thirdparty-build-${CMAKE_SYSTEM_PROCESSOR}")
set(lib_c_flags "-O2")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  string(APPEND lib_c_flags " -msse2 -mfpmath=sse")
endif()
set(lib_args
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE=${lib_toolchain}
  -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_C_FLAGS_RELEASE=${lib_c_flags} -DNDEBUG"
  -DCMAKE_INSTALL_PREFIX=${lib_prefix}
  -DCMAKE_INSTALL_LIBDIR=lib
  -DBUILD_SHARED_LIBS=OFF
  -DBUILD_TESTING=OFF
  -DCMAKE_POLICY_DEFAULT_CMP0077=NEW)
file(MAKE_DIRECTORY "${lib_prefix}/include" "${lib_prefix}/include/opus")

function(trilvo_external name tree)
  cmake_parse_arguments(arg "" "" "LIBRARIES;DEPENDS;ARGS" ${ARGN})
  set(products)
  foreach(lib ${arg_LIBRARIES})
    list(APPEND products "${lib_prefix}/lib/lib${lib}.a")
  endforeach()
  ExternalProject_Add(lib_${name}
    SOURCE_DIR "${tree}"
    BINARY_DIR "${lib_build}/${name}"
    STAMP_DIR "${lib_build}/${name}-stamp"
    TMP_DIR "${lib_build}/${name}-tmp"
    INSTALL_DIR "${lib_prefix}"
    CMAKE_ARGS ${lib_args} ${arg_ARGS}
    DEPENDS ${arg_DEPENDS}
    BUILD_BYPRODUCTS ${products}
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON
    USES_TERMINAL_BUILD OFF)
endfunction()

trilvo_external(ogg "${tree_libogg}" LIBRARIES ogg
  ARGS -DINSTALL_DOCS=OFF -DINSTALL_PKG_CONFIG_MODULE=OFF)
trilvo_external(vorbis "${tree_libvorbis}" LIBRARIES vorbisfile vorbis DEPENDS lib_ogg
  ARGS -DOGG_INCLUDE_DIR=${lib_prefix}/include -DOGG_LIBRARY=${lib_prefix}/lib/libogg.a)
# opus 1.3.1's release tree lacks the build-type file its CMakeLists includes; the build type is
# given on the command line anyway.
if(NOT EXISTS "${tree_opus}/opus_buildtype.cmake")
  file(WRITE "${tree_opus}/opus_buildtype.cmake" "# Build type given by the caller.\n")
endif()
trilvo_external(opus "${tree_opus}" LIBRARIES opus
  ARGS -DOPUS_STACK_PROTECTOR=OFF -DOPUS_BUILD_PROGRAMS=OFF -DOPUS_INSTALL_PKG_CONFIG_MODULE=OFF)
trilvo_external(opusfile "${CMAKE_SOURCE_DIR}/cmake/opusfile" LIBRARIES opusfile DEPENDS lib_ogg lib_opus
  ARGS -DOPUSFILE_SOURCE=${tree_opusfile})
trilvo_external(flac "${tree_flac}" LIBRARIES FLAC
  ARGS -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF
       -DWITH_FORTIFY_SOURCE=OFF -DWITH_STACK_PROTECTOR=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF
       -DINSTALL_PKGCONFIG_MODULES=OFF)

function(trilvo_imported target lib external)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${lib_prefix}/lib/lib${lib}.a"
    INTERFACE_INCLUDE_DIRECTORIES "${lib_prefix}/include;${lib_prefix}/include/opus"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
  add_dependencies(${target} ${external})
endfunction()
trilvo_imported(trilvo::ogg ogg lib_ogg)
trilvo_imported(trilvo::vorbis vorbis lib_vorbis trilvo::ogg)
trilvo_imported(trilvo::vorbisfile vorbisfile lib_vorbis trilvo::vorbis)
trilvo_imported(trilvo::opus opus lib_opus)
trilvo_imported(trilvo::opusfile opusfile lib_opusfile trilvo::opus trilvo::ogg)
trilvo_imported(trilvo::flac FLAC lib_flac)
set_property(TARGET trilvo::flac APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS FLAC__NO_DLL)

# The licence texts of the libraries built into the program, shipped in the download as
# THIRD-PARTY.txt (libFLAC's is COPYING.Xiph; the GPL/LGPL/FDL texts of its tree cover the command
# line tools and documentation, which are not built).
set(third_party "${CMAKE_BINARY_DIR}/THIRD-PARTY.txt")
file(WRITE "${third_party}" "Trilvo contains these libraries, built from Debian's source packages:\n"
     "libFLAC (flac), libogg, libvorbis and libvorbisfile, libopus, opusfile.\n"
     "Their licences follow.\n")
foreach(row "libFLAC (flac)|${tree_flac}/COPYING.Xiph" "libogg|${tree_libogg}/COPYING"
            "libvorbis, libvorbisfile|${tree_libvorbis}/COPYING" "libopus|${tree_opus}/COPYING"
            "opusfile|${tree_opusfile}/COPYING")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 title)
  list(GET row 1 licence)
  file(READ "${licence}" text)
  file(APPEND "${third_party}" "\n==== ${title} ====\n\n${text}")
endforeach()
