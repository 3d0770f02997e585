# Libraries cross-built from Debian's sources, which tools/setup.sh unpacks under FENNIX_DEPS_DIR.

set(_src ${FENNIX_DEPS_DIR}/src)
foreach(_dir ${_src}/tinyxml2 ${_src}/zlib ${FENNIX_DEPS_DIR}/include/nlohmann ${FENNIX_GTEST_DIR})
    if(NOT EXISTS ${_dir})
        message(FATAL_ERROR "${_dir} is missing: run tools/setup.sh first")
    endif()
endforeach()

# nlohmann json: a folder that holds only its header tree, never the whole /usr/include.
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${FENNIX_DEPS_DIR}/include)

add_library(tinyxml2 STATIC ${_src}/tinyxml2/tinyxml2.cpp)
target_include_directories(tinyxml2 SYSTEM PUBLIC ${_src}/tinyxml2)
target_compile_options(tinyxml2 PRIVATE -w)

set(_z ${_src}/zlib)
add_library(zlib STATIC
    ${_z}/adler32.c ${_z}/compress.c ${_z}/crc32.c ${_z}/deflate.c ${_z}/gzclose.c ${_z}/gzlib.c
    ${_z}/gzread.c ${_z}/gzwrite.c ${_z}/infback.c ${_z}/inffast.c ${_z}/inflate.c ${_z}/inftrees.c
    ${_z}/trees.c ${_z}/uncompr.c ${_z}/zutil.c)
target_include_directories(zlib SYSTEM PUBLIC ${_z})
target_compile_options(zlib PRIVATE -w)

set(_mz ${_z}/contrib/minizip)
add_library(minizip STATIC ${_mz}/ioapi.c ${_mz}/iowin32.c ${_mz}/unzip.c ${_mz}/zip.c)
target_include_directories(minizip SYSTEM PUBLIC ${_mz})
target_link_libraries(minizip PUBLIC zlib)
target_compile_options(minizip PRIVATE -w)
# The reader's own buffer (16 KiB by default): an entry is read from the archive in pieces of this size.
target_compile_definitions(minizip PRIVATE UNZ_BUFSIZE=262144)

if(FENNIX_BUILD_TESTS)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${FENNIX_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
