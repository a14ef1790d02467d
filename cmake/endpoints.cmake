# The product's network endpoints are fixed at build time. The defaults are the
# vendor's release values; INSTALLER_LOOPBACK_PORT turns every one of them into a
# loopback address (test and demo builds), so such a build can never reach a
# public host.
set(INSTALLER_LOOPBACK_PORT "" CACHE STRING
    "Point every endpoint at 127.0.0.1 on this port and trust the fixture CA (tests, demo)")
set(INSTALLER_STALL_SECONDS "" CACHE STRING
    "Seconds under 1 byte/s after which a download is abandoned (default 60, loopback builds 4)")

if(INSTALLER_LOOPBACK_PORT)
  set(_origin "https://127.0.0.1:${INSTALLER_LOOPBACK_PORT}")
  set(INSTALLER_PACKAGE_URL "${_origin}/dl/vorandel/package.zip")
  set(INSTALLER_STATS_ORIGIN "${_origin}")
  # Same shape as the release list: nine attempts, the last address three times.
  set(INSTALLER_DNS_FALLBACK "127.0.0.2;127.0.0.3;127.0.0.4;127.0.0.5;127.0.0.6;127.0.0.7;127.0.0.8;127.0.0.7;127.0.0.7")
  set(INSTALLER_TRUSTED_CA_FILE "Z:${CMAKE_BINARY_DIR}/fixture/ca.pem")
  if(NOT INSTALLER_STALL_SECONDS)
    set(INSTALLER_STALL_SECONDS 4)
  endif()
else()
  set(INSTALLER_PACKAGE_URL "https://dl.ravelinsoft.com/dl/vorandel/package.zip")
  set(INSTALLER_STATS_ORIGIN "https://stat.ravelinsoft.com")
  set(INSTALLER_DNS_FALLBACK "8.8.8.8;114.114.114.114;101.198.198.198;223.5.5.5;180.76.76.76;101.226.4.6;123.125.81.6;101.226.4.6;101.226.4.6")
  # Empty: trust the Windows certificate store.
  set(INSTALLER_TRUSTED_CA_FILE "")
  if(NOT INSTALLER_STALL_SECONDS)
    set(INSTALLER_STALL_SECONDS 60)
  endif()
  if(INSTALLER_BUILD_TESTS)
    message(FATAL_ERROR "Test builds must use loopback endpoints: set INSTALLER_LOOPBACK_PORT.")
  endif()
endif()

list(LENGTH INSTALLER_DNS_FALLBACK _dns_count)
if(NOT _dns_count EQUAL 9)
  message(FATAL_ERROR "INSTALLER_DNS_FALLBACK must list nine addresses")
endif()
list(TRANSFORM INSTALLER_DNS_FALLBACK REPLACE "(.+)" "\"\\1\"")
list(JOIN INSTALLER_DNS_FALLBACK ", " INSTALLER_DNS_FALLBACK_ITEMS)

message(STATUS "Package URL: ${INSTALLER_PACKAGE_URL}")
message(STATUS "Statistics origin: ${INSTALLER_STATS_ORIGIN}")
configure_file("${CMAKE_SOURCE_DIR}/cmake/build_config.h.in"
               "${CMAKE_BINARY_DIR}/generated/build_config.h" @ONLY)
