# Runs a test program whose VM is created with -Xcheck:jni and fails when the program fails
# or the VM's output holds a warning ("WARNING in native method: ...", "WARNING: JNI local
# refs: ...").
# Usage: cmake -DPROGRAM=<test program> [-DFILTER=<gtest filter>] -P run_checked_jni.cmake
set(ENV{KVFMU_TEST_JVM_OPTIONS} "-Xcheck:jni")
if(NOT DEFINED FILTER)
    set(FILTER "*")
endif()
execute_process(COMMAND "${PROGRAM}" "--gtest_filter=${FILTER}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} failed under -Xcheck:jni: ${result}")
endif()
string(FIND "${output}" "WARNING" warning)
if(NOT warning EQUAL -1)
    message(FATAL_ERROR "the Java VM warned under -Xcheck:jni (see above)")
endif()
