# Project-wide build helpers: warnings, tests on both targets, Wine.

function(tavelund_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# tavelund_platform_sources(VAR name...): for each name, the file of this
# target's platform, "name-win32.cc" or "name-posix.cc", appended to VAR.
function(tavelund_platform_sources var)
  if(WIN32)
    set(suffix win32)
  else()
    set(suffix posix)
  endif()
  set(sources ${${var}})
  foreach(name IN LISTS ARGN)
    list(APPEND sources ${name}-${suffix}.cc)
  endforeach()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()

# tavelund_require(DELIVERABLE FOUND what-is-missing): a deliverable whose
# dependency is missing stops the configuration, unless the user switched
# the deliverable off (TAVELUND_<DELIVERABLE>=OFF), so that a build never
# quietly lacks a program and passes its tests without it.
function(tavelund_require deliverable found missing)
  if(NOT ${found})
    message(FATAL_ERROR "${deliverable}: ${missing}.\n"
      "Install it (./dev setup does), or configure with -DTAVELUND_${deliverable}=OFF "
      "to build without it.")
  endif()
endfunction()

# tavelund_add_fuzz(name SOURCES ... LIBS ...): a libFuzzer target. The fuzz
# preset instruments the whole build for coverage and the sanitizers; only
# the fuzz programs link libFuzzer's main.
function(tavelund_add_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  tavelund_warnings(${name})
endfunction()

# GoogleTest: Debian's package natively; for the Windows build the same
# sources (/usr/src/googletest, shipped by Debian's googletest package) are
# built with the cross compiler.
macro(tavelund_setup_gtest)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
      add_library(GTest::gmock ALIAS gmock)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endmacro()

# Tests that use the link's channels. On Linux each test program gets a
# namespace of its own for the channel objects (TICKWELL_NAMESPACE, unique to
# this build folder and program), so the tests neither meet a viewer or a
# feed that run on the same machine nor the tests of another build folder;
# a feed on the plain names runs beside them all the time (the
# default_names_feed fixture) to keep that so. Under Wine the objects are
# private to the build's prefix already; there the tests run without a
# display, so that a refusal's message box returns at once instead of
# waiting for a click.
#
# tavelund_channel_test_properties(VAR name): those properties, appended to
# the property list VAR (for tests whose names are not known yet).
function(tavelund_channel_test_properties var name)
  set(props ${${var}})
  if(WIN32)
    list(APPEND props ENVIRONMENT_MODIFICATION "DISPLAY=unset:")
  else()
    tavelund_channel_namespace_base(base)
    list(APPEND props ENVIRONMENT "TICKWELL_NAMESPACE=${base}${name}-"
      FIXTURES_REQUIRED default_names_feed)
  endif()
  set(${var} ${props} PARENT_SCOPE)
endfunction()

# tavelund_channel_test(test): the same, added to a test made by add_test
# (keeping its own environment and fixtures).
function(tavelund_channel_test test)
  if(WIN32)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT_MODIFICATION "DISPLAY=unset:")
  else()
    tavelund_channel_namespace_base(base)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "TICKWELL_NAMESPACE=${base}${test}-")
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED default_names_feed)
  endif()
endfunction()

# The part of the namespace that all channel tests of this build folder
# share.
function(tavelund_channel_namespace_base var)
  string(MD5 build_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${build_hash}" 0 8 build_hash)
  set(${var} "tw${build_hash}-" PARENT_SCOPE)
endfunction()

# tavelund_add_gtest(name SOURCES ... [LIBS ...] [LABELS ...] [RESOURCE_LOCK ...]
#                    [TIMEOUT s] [NO_MAIN])
# Natively every test case becomes a ctest test; under Wine the whole program
# is one test, so the slow Wine start is paid once per program. Programs
# that hold RESOURCE_LOCK tickwell_channels use the link's channels and get
# their own namespace (tavelund_channel_test_properties).
function(tavelund_add_gtest name)
  cmake_parse_arguments(T "NO_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  tavelund_warnings(${name})
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK "${T_RESOURCE_LOCK}")
    if("tickwell_channels" IN_LIST T_RESOURCE_LOCK)
      tavelund_channel_test_properties(props ${name})
    endif()
  endif()
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props}
      FIXTURES_REQUIRED wine_prefix SKIP_RETURN_CODE 77)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()

# Windows programs run under Wine with a prefix of their own inside the build
# folder and quiet logs. The wrapper ends with 77 (skipped) where Wine is
# absent, so ctest shows the skip instead of hiding it.
macro(tavelund_setup_wine)
  set(TAVELUND_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE @ONLY)
  set(TAVELUND_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVELUND_WINE_RUN} --relay)
  enable_testing()
  add_test(NAME wine_prefix_init COMMAND ${TAVELUND_WINE_RUN} --start-session)
  set_tests_properties(wine_prefix_init PROPERTIES FIXTURES_SETUP wine_prefix
    SKIP_RETURN_CODE 77 TIMEOUT 300)
  add_test(NAME wine_prefix_end COMMAND ${TAVELUND_WINE_RUN} --end-session)
  set_tests_properties(wine_prefix_end PROPERTIES FIXTURES_CLEANUP wine_prefix
    SKIP_RETURN_CODE 77 TIMEOUT 60)
endmacro()

# tavelund_rapidjson(target): RapidJSON's headers for `target`. It is
# header-only; the cross build must not see the host's /usr/include as a
# whole, so the target gets a folder holding only rapidjson/.
function(tavelund_rapidjson target)
  find_path(TAVELUND_RAPIDJSON_DIR rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
  tavelund_require(JSON TAVELUND_RAPIDJSON_DIR "RapidJSON not found (apt-get install rapidjson-dev)")
  set(include ${CMAKE_BINARY_DIR}/rapidjson-include)
  file(MAKE_DIRECTORY ${include})
  if(NOT EXISTS ${include}/rapidjson)
    file(CREATE_LINK ${TAVELUND_RAPIDJSON_DIR}/rapidjson ${include}/rapidjson SYMBOLIC)
  endif()
  target_include_directories(${target} SYSTEM PRIVATE ${include})
endfunction()
