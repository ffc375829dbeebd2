# Shared build settings for every Aubadine target.

# Warnings for our own targets (not for third-party code).
function(aubadine_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wshadow=local>)
  endif()
  if(AUBADINE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(AUBADINE_SANITIZE)
  add_compile_options(-fsanitize=${AUBADINE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${AUBADINE_SANITIZE})
endif()

# aubadine_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS label] [ENV VAR=value] [QT_MAIN])
# A GoogleTest executable under build/tests, registered with CTest test by test.
# QT_MAIN: the test runs inside a QApplication (Qt's offscreen platform unless set).
# ENV: one VAR=value setting for the test processes.
function(aubadine_test name)
  cmake_parse_arguments(T "QT_MAIN" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QT_MAIN)
    set(main_lib aubadine_qt_test_main)
  else()
    set(main_lib GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock ${main_lib} Threads::Threads)
  aubadine_warnings(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    AUBADINE_BIN_DIR="${AUBADINE_BIN_DIR}"
    AUBADINE_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests"
    AUBADINE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  # CMake's test discovery splits list-valued properties, so each test gets one label and
  # at most one environment setting; Qt tests choose the offscreen platform in their main(),
  # and scripts/test.sh exports SDL_AUDIODRIVER=dummy for the whole suite.
  list(LENGTH T_LABELS nlabels)
  list(LENGTH T_ENV nenv)
  if(nlabels GREATER 1 OR nenv GREATER 1)
    message(FATAL_ERROR "aubadine_test(${name}): give one LABELS value and at most one ENV setting")
  endif()
  set(props LABELS "${T_LABELS}")
  if(T_ENV)
    list(APPEND props ENVIRONMENT "${T_ENV}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

# aubadine_fuzz_target(NAME SOURCES a.cpp b.cpp [LIBS x y] [INCLUDES dir])
# A libFuzzer executable, built only with -DAUBADINE_FUZZ=ON and clang (with another
# compiler it is left out with a warning). The entries it calls are built in every
# configuration, for the corpus replays in the normal tests.
function(aubadine_fuzz_target name)
  if(NOT AUBADINE_FUZZ)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "${name} needs clang (libFuzzer); configure with CC=clang CXX=clang++")
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${F_INCLUDES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  aubadine_warnings(${name})
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt, in name
# order, so that a new subsystem or tool only needs a folder of its own.
function(aubadine_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
