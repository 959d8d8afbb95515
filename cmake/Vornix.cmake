# Helpers shared by the folders' CMake files.

# cv_library(NAME SOURCES ... [DEPS ...]): one folder, one static library.
function(cv_library name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# cv_test(NAME SOURCES ... [DEPS ...] [LABELS ...] [NO_MAIN]): a GoogleTest program registered with CTest.
# Cross-builds run it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(cv_test name)
    cmake_parse_arguments(A "NO_MAIN" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock Threads::Threads)
    if(NOT A_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
    if(A_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
    endif()
    if(VORNIX_WITH_QT)
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
endfunction()
