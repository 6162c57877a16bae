# kvfmu_baseline: the shared library as it was at git revision KVFMU_BENCH_BASELINE, built
# from that revision's sources with this build's settings, for paired benchmarks.
set(baseline_dir ${CMAKE_CURRENT_BINARY_DIR}/baseline-${KVFMU_BENCH_BASELINE})
if(NOT EXISTS ${baseline_dir}/src)
    file(MAKE_DIRECTORY ${baseline_dir})
    execute_process(
        COMMAND git -C ${PROJECT_SOURCE_DIR} archive --format=tar ${KVFMU_BENCH_BASELINE} src include
        COMMAND tar -x -C ${baseline_dir}
        RESULT_VARIABLE extracted)
    if(NOT extracted EQUAL 0)
        message(FATAL_ERROR "cannot extract the sources of revision ${KVFMU_BENCH_BASELINE}")
    endif()
endif()
file(GLOB baseline_sources ${baseline_dir}/src/fmu/*.cpp ${baseline_dir}/src/bridge/*.cpp)
list(FILTER baseline_sources EXCLUDE REGEX "/(trace_[a-z]+|[a-z_]+_windows)\\.cpp$")
add_library(kvfmu_baseline SHARED ${baseline_sources})
target_include_directories(kvfmu_baseline PRIVATE ${baseline_dir}/include ${baseline_dir}/src/fmu
                           ${baseline_dir}/src/bridge ${JNI_INCLUDE_DIRS})
set_target_properties(kvfmu_baseline PROPERTIES CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(kvfmu_baseline PRIVATE ${JAVA_JVM_LIBRARY})
target_link_options(kvfmu_baseline PRIVATE
    -Wl,--version-script=${baseline_dir}/src/exports.map -Wl,--no-undefined)
