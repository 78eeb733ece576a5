# Helpers shared by every folder's CMakeLists.txt.

# lobrana_library(NAME <target> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# A subsystem library; its folder's parent (src/) is on the include path, so headers are
# included as "engine/registry.h".
function(lobrana_library)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${ARG_NAME} STATIC ${ARG_SOURCES})
  target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${ARG_NAME} PUBLIC lobrana_policy ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# lobrana_test(NAME <name> SOURCES ... LIBS ... [ENV VAR=VALUE ...] [TIMEOUT s] [LABELS ...])
# A QtTest executable registered with ctest. Widgets run on the offscreen platform unless the
# test sets its own QT_QPA_PLATFORM.
function(lobrana_test)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE lobrana_policy Qt6::Test ${ARG_LIBS})
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LOBRANA_BUILD_DIR=${PROJECT_BINARY_DIR};${ARG_ENV}")
  if(ARG_LABELS)
    set_tests_properties(${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# lobrana_bench(NAME <name> SOURCES ... LIBS ...): a benchmark program, built with the tree and
# run on demand by bench/run.
function(lobrana_bench)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE lobrana_policy ${ARG_LIBS})
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/bench)
  set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()
