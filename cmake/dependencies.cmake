# Static OpenSSL, libcurl and minizip, built by scripts/bootstrap into a cache
# outside the work tree; zlib comes from Debian's libz-mingw-w64-dev.
if(NOT DEPS_CACHE)
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/bootstrap" --print-cache
                  OUTPUT_VARIABLE DEPS_CACHE OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(DEPS_CACHE "${DEPS_CACHE}" CACHE PATH "Folder of the dependency cache (scripts/bootstrap)")
set(_deps_file "${DEPS_CACHE}/${TOOLCHAIN_TRIPLE}/deps.cmake")
if(NOT EXISTS "${_deps_file}")
  message(FATAL_ERROR "No dependencies for ${TOOLCHAIN_TRIPLE} in ${DEPS_CACHE}: run scripts/bootstrap first.")
endif()
include("${_deps_file}")
message(STATUS "Dependencies: ${DEPS_VERSIONS}")

find_library(DEPS_ZLIB NAMES libz.a REQUIRED)

add_library(deps_openssl INTERFACE)
target_include_directories(deps_openssl SYSTEM INTERFACE "${DEPS_OPENSSL_PREFIX}/include")
target_link_libraries(deps_openssl INTERFACE
  "${DEPS_OPENSSL_PREFIX}/lib/libssl.a" "${DEPS_OPENSSL_PREFIX}/lib/libcrypto.a"
  ws2_32 crypt32 bcrypt user32 advapi32)

add_library(deps_curl INTERFACE)
target_include_directories(deps_curl SYSTEM INTERFACE "${DEPS_CURL_PREFIX}/include")
target_compile_definitions(deps_curl INTERFACE CURL_STATICLIB)
target_link_libraries(deps_curl INTERFACE "${DEPS_CURL_PREFIX}/lib/libcurl.a" deps_openssl
  ws2_32 crypt32 bcrypt pthread)

add_library(deps_minizip INTERFACE)
target_include_directories(deps_minizip SYSTEM INTERFACE "${DEPS_MINIZIP_PREFIX}/include")
target_link_libraries(deps_minizip INTERFACE "${DEPS_MINIZIP_PREFIX}/lib/libminizip.a" "${DEPS_ZLIB}")
