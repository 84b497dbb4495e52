# quorvel_layer(NAME <name> [DEPS <libs...>] [TEST_DEPS <libs...>])
#
# Builds the folder's sources (every *.cpp but *_test.cpp and main.cpp) into the static
# library quorvel_<name>, and its *_test.cpp files into the test program
# <name>_tests, registered with CTest. The repository root is the include root, so
# headers are included as "platform/clock.h".
function(quorvel_layer)
  cmake_parse_arguments(L "" "NAME" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(lib_sources "")
  set(test_sources "")
  foreach(src IN LISTS all_sources)
    if(src MATCHES "/main\\.cpp$")
      continue()
    elseif(src MATCHES "_test\\.cpp$")
      list(APPEND test_sources ${src})
    else()
      list(APPEND lib_sources ${src})
    endif()
  endforeach()

  set(lib quorvel_${L_NAME})
  if(lib_sources)
    add_library(${lib} STATIC ${lib_sources})
    target_include_directories(${lib} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${lib} PUBLIC ${L_DEPS} Threads::Threads)
  else()
    add_library(${lib} INTERFACE)
    target_include_directories(${lib} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${lib} INTERFACE ${L_DEPS})
  endif()

  if(test_sources)
    add_executable(${L_NAME}_tests ${test_sources})
    target_link_libraries(${L_NAME}_tests PRIVATE ${lib} ${L_TEST_DEPS}
                          GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${L_NAME}_tests
      PROPERTIES ENVIRONMENT "QUORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
