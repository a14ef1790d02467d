# One set of flags for every target of the tree: warnings are errors on both
# architectures, everything is linked statically, and the release build is
# trimmed for size.
add_compile_options(-Wall -Wextra -Werror -ffunction-sections -fdata-sections)
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(-static -Wl,--gc-sections)
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  add_link_options(-s)
endif()
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")

# GUI programs with a wide entry point (wWinMain).
function(installer_gui_executable target)
  target_link_options(${target} PRIVATE -mwindows -municode)
endfunction()
