# Test programs that run against a Java VM created inside the test process, with one of
# the test facades of tests/java on its class path. Included from tests/CMakeLists.txt after
# tests/java, so that the facade jars are known.

add_library(java_host STATIC ${CMAKE_CURRENT_LIST_DIR}/java_host.cpp)
target_include_directories(java_host PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${JNI_INCLUDE_DIRS})
target_link_libraries(java_host PUBLIC ${JAVA_JVM_LIBRARY} GTest::gtest)

set(kvfmu_java_test_main ${CMAKE_CURRENT_LIST_DIR}/java_test_main.cpp)
if(KVFMU_SANITIZE)
    # Every program that runs a Java VM carries the sanitizer options the VM needs.
    list(APPEND kvfmu_java_test_main ${CMAKE_CURRENT_LIST_DIR}/sanitizer_options.cpp)
endif()
set(kvfmu_checked_jni_runner ${CMAKE_CURRENT_LIST_DIR}/run_checked_jni.cmake)

# kvfmu_add_vm_test(<target> FACADE <variant> SOURCES <file>...)
# A test program made of the sources, the library with its trace recorder, the test hosts
# and a main that creates the VM with the facade jar of <variant>: "full", or
# "no_<method>" for a facade that lacks that method (see tests/java/CMakeLists.txt).
function(kvfmu_add_vm_test target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FACADE" "SOURCES")
    get_property(jar GLOBAL PROPERTY KVFMU_FACADE_JAR_${arg_FACADE})
    if(NOT jar)
        message(FATAL_ERROR "${target}: no test facade variant '${arg_FACADE}'")
    endif()
    add_executable(${target} ${arg_SOURCES} ${kvfmu_java_test_main})
    target_compile_definitions(${target} PRIVATE KVFMU_TEST_CLASS_PATH="${jar}")
    target_link_libraries(${target} PRIVATE kvfmu_traced java_host test_host GTest::gtest)
    add_dependencies(${target} kvfmu_facade_${arg_FACADE})
endfunction()

# kvfmu_add_jni_checked_test(<target> [FILTER <gtest filter>])
# The CTest entry <target>_checkjni: runs the program's tests (those of the filter) in one
# process with -Xcheck:jni and fails when the VM prints any warning.
function(kvfmu_add_jni_checked_test target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FILTER;NAME" "")
    if(NOT arg_FILTER)
        set(arg_FILTER "*")
    endif()
    if(NOT arg_NAME)
        set(arg_NAME ${target}_checkjni)
    endif()
    add_test(NAME ${arg_NAME}
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}>
                     -DFILTER=${arg_FILTER} -P ${kvfmu_checked_jni_runner})
    # Leaked local references make every checked JNI call slower: a leak must not hang CI.
    set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT 300)
endfunction()
