# Tests of the Windows cross build: GoogleTest built for Windows from
# Debian's sources, suites run under Wine in a prefix of the build tree, and
# the PE checks of the programs and libraries.
enable_testing()

set(ZL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${ZL_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(ZL_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine/wine-run.in ${PROJECT_BINARY_DIR}/wine-run
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine/wine-prefix.in ${PROJECT_BINARY_DIR}/wine-prefix
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
set(ZL_WINE_RUN ${PROJECT_BINARY_DIR}/wine-run)

# Fixtures: "wineprefix" makes the prefix (once per tree); "wine" is a wine
# server the ordinary suites share, ended after the last of them.
add_test(NAME wine_prefix_create COMMAND ${PROJECT_BINARY_DIR}/wine-prefix create)
set_tests_properties(wine_prefix_create PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 300)
add_test(NAME wine_server_start COMMAND ${PROJECT_BINARY_DIR}/wine-prefix start)
set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine FIXTURES_REQUIRED wineprefix)
add_test(NAME wine_server_stop COMMAND ${PROJECT_BINARY_DIR}/wine-prefix stop)
set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine)

# zl_add_test_suite(<name> LIBS <libs...> [LABELS <labels...>] [OWN_WINE_NETWORK]),
# as in the native build: every *.cpp of the calling folder in one program,
# which runs as one test under Wine.
# OWN_WINE_NETWORK: the suite uses port 7467. Wine's sockets are made by the
# wine server, so the suite gets a network namespace of its own with a wine
# server started inside it: after the shared server has ended, one at a time.
function(zl_add_test_suite name)
  cmake_parse_arguments(ARG "OWN_WINE_NETWORK" "" "LIBS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main zl_warnings)
  if(ARG_OWN_WINE_NETWORK)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/own-network
      ${PROJECT_BINARY_DIR}/wine-prefix run ${ZL_WINE_RUN} $<TARGET_FILE:${name}> --gtest_color=no)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineprefix DEPENDS wine_server_stop RUN_SERIAL ON
      LABELS "wine;${ARG_LABELS}" TIMEOUT 300)
  else()
    add_test(NAME ${name} COMMAND ${ZL_WINE_RUN} $<TARGET_FILE:${name}> --gtest_color=no)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "wine;${ARG_LABELS}" TIMEOUT 300)
  endif()
endfunction()

# zl_add_pe_check(<target> [DEF <file>]): imports only system libraries, and
# with a .def file exactly its exports.
find_program(ZL_OBJDUMP NAMES ${CMAKE_OBJDUMP} objdump REQUIRED)
function(zl_add_pe_check target)
  cmake_parse_arguments(ARG "" "DEF" "" ${ARGN})
  add_test(NAME pe_check_${target}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-pe ${ZL_OBJDUMP} $<TARGET_FILE:${target}> ${ARG_DEF})
endfunction()

add_subdirectory(${PROJECT_SOURCE_DIR}/tests/platform/contract ${PROJECT_BINARY_DIR}/tests/platform/contract)
if(TARGET ZephlinkSvc)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/service/windows_program ${PROJECT_BINARY_DIR}/tests/service/windows_program)
  zl_add_pe_check(ZephlinkSvc)
endif()

zl_add_pe_check(vorlanexapi DEF ${PROJECT_SOURCE_DIR}/vorlanexapi/VorlanexApi.def)
foreach(program zlsvcdemo zlcontract_helper test_platform_contract)
  zl_add_pe_check(${program})
endforeach()
