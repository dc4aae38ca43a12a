# The game controller back end of the input thread (included by
# console/CMakeLists.txt): DirectInput 8 on Windows, SDL2's joystick
# subsystem elsewhere. endProcess and restoreConsole come from the terminal
# layer, tavelund_terminal, which console/CMakeLists.txt links to this one.
set(_joystick_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(tavelund_joystick STATIC
  ${_joystick_dir}/joystick_map.cc
  ${_joystick_dir}/joystick_lost.cc)
target_include_directories(tavelund_joystick PUBLIC ${PROJECT_SOURCE_DIR})
tavelund_warnings(tavelund_joystick)
if(WIN32)
  target_sources(tavelund_joystick PRIVATE ${_joystick_dir}/joystick-win32.cc)
  target_link_libraries(tavelund_joystick PRIVATE dinput8 dxguid)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)
  target_sources(tavelund_joystick PRIVATE ${_joystick_dir}/joystick-sdl.cc)
  target_link_libraries(tavelund_joystick PRIVATE PkgConfig::SDL2)
endif()
unset(_joystick_dir)
