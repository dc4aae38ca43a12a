# The game controller back end of the input thread (included by
# console/CMakeLists.txt).
add_library(tavelund_joystick STATIC ${CMAKE_CURRENT_LIST_DIR}/joystick_stub.cc)
target_include_directories(tavelund_joystick PUBLIC ${PROJECT_SOURCE_DIR})
tavelund_warnings(tavelund_joystick)
