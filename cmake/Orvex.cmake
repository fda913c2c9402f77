# orvex_library(<target> [DEPS <targets>...])
# One static library from every .cpp below the calling folder. A folder that
# has no sources yet gives an interface library, so dependants still link.
function(orvex_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# orvex_test(<target> LIBS <targets>...)
# One GoogleTest executable from every .cpp in the calling folder, registered
# with CTest test by test. Tests run without a display and with a pinned
# machine root, clock and regional settings (see tests/support).
function(orvex_test target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock)
  target_compile_definitions(${target} PRIVATE
    ORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ORVEX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${target}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
               ENVIRONMENT_MODIFICATION "LSAN_OPTIONS=set:suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp"
    DISCOVERY_TIMEOUT 60)
endfunction()

include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/Resources.cmake)
