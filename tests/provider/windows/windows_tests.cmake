# The Windows provider DLL: its import and export tables, and a test program under wine
# with a test FMU and the stand-in VM laid out as a Java runtime beside it:
#   fmu/binaries/win64/Model.dll      the provider     fmu/binaries/win64/libkvfmu.dll
#   fmu/resources/provider.conf, kvbridge.jar           (hidden/: the same with the test
#   java/bin/server/jvm.dll, java/release                build that knows no usual places)
#   java/bin/java.exe (empty: found on PATH)
#   bundled/: the test build with the stand-in VM as the FMU's own runtime,
#   bundled/resources/runtime/win64/bin/server/jvm.dll and .../release
# gtest_discover_tests needs the module's variables in this directory's scope too.
include(GoogleTest)
set(windows_tests ${PROJECT_SOURCE_DIR}/tests/windows)
add_test(NAME provider_dll_exports
         COMMAND ${windows_tests}/check_dll_exports.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:kvfmu_provider> ${PROJECT_SOURCE_DIR}/tests/exported_names.txt)
add_test(NAME provider_dll_imports
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_provider_imports.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:kvfmu_provider>)

kvfmu_fixed_java_places(kvfmu_test_java_places
    HOMES C:/no-java/default PARENTS C:/no-java/runtimes)
kvfmu_provider_library(kvfmu_provider_hidden_java kvfmu_test_java_places)

add_executable(provider_windows_test windows/provider_windows_test.cpp file_path_test.cpp
               ${PROJECT_SOURCE_DIR}/tests/support/host.cpp
               ${PROJECT_SOURCE_DIR}/tests/support/loaded_library.cpp)
target_include_directories(provider_windows_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support
                                                         ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(provider_windows_test PRIVATE kvfmu_shared_library GTest::gtest_main)
target_link_options(provider_windows_test PRIVATE -static)
set_target_properties(provider_windows_test PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

set(layout ${CMAKE_CURRENT_BINARY_DIR})
configure_file(windows/provider.conf.in ${layout}/fmu/resources/provider.conf COPYONLY)
configure_file(windows/provider.conf.in ${layout}/hidden/resources/provider.conf COPYONLY)
file(WRITE ${layout}/fmu/resources/kvbridge.jar "the stand-in VM reads no jar")
file(WRITE ${layout}/hidden/resources/kvbridge.jar "the stand-in VM reads no jar")
file(WRITE ${layout}/java/release "IMPLEMENTOR=\"kvfmu tests\"\nJAVA_VERSION=\"17.0.99\"\n")
file(WRITE ${layout}/java/bin/java.exe "the search only looks for the file")
set(bundled_runtime ${layout}/bundled/resources/runtime/win64)
configure_file(windows/provider.conf.in ${layout}/bundled/resources/provider.conf COPYONLY)
file(WRITE ${layout}/bundled/resources/kvbridge.jar "the stand-in VM reads no jar")
file(WRITE ${bundled_runtime}/release "IMPLEMENTOR=\"kvfmu tests\"\nJAVA_VERSION=\"17.0.98\"\n")
add_custom_command(TARGET provider_windows_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu_provider>
            ${layout}/fmu/binaries/win64/Model.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu>
            ${layout}/fmu/binaries/win64/libkvfmu.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu_provider_hidden_java>
            ${layout}/hidden/binaries/win64/Model.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu>
            ${layout}/hidden/binaries/win64/libkvfmu.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu_provider_hidden_java>
            ${layout}/bundled/binaries/win64/Model.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kvfmu>
            ${layout}/bundled/binaries/win64/libkvfmu.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:jvm_standin>
            ${bundled_runtime}/bin/server/jvm.dll
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:jvm_standin>
            ${layout}/java/bin/server/jvm.dll)
add_dependencies(provider_windows_test kvfmu kvfmu_provider kvfmu_provider_hidden_java jvm_standin)
gtest_discover_tests(provider_windows_test TEST_PREFIX provider. DISCOVERY_MODE PRE_TEST)

# A two-platform FMU packed by a Linux build (KVFMU_LINUX_BUILD: its folder), unpacked at test
# time into two-platform/ with the stand-in as the FMU's own runtime.
set(KVFMU_LINUX_BUILD "" CACHE PATH "Linux build whose two-platform FMUs the Windows tests run (empty: none)")
if(KVFMU_LINUX_BUILD)
    add_test(NAME provider.two_platform_fmu_unpacked
             COMMAND ${CMAKE_COMMAND} -DFMU=${KVFMU_LINUX_BUILD}/fmus/FirstOrderLag.fmu
                     -DFOLDER=${layout}/two-platform -DVM=$<TARGET_FILE:jvm_standin>
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/unpack_two_platform_fmu.cmake)
    set_tests_properties(provider.two_platform_fmu_unpacked PROPERTIES FIXTURES_SETUP two_platform)
    add_test(NAME provider.two_platform_fmu
             COMMAND provider_windows_test --gtest_filter=WindowsProvider.RunsTheTwoPlatformFmuOfTheLinuxBuild)
    set_tests_properties(provider.two_platform_fmu PROPERTIES FIXTURES_REQUIRED two_platform
                         ENVIRONMENT KVFMU_TWO_PLATFORM_FMU=1 FAIL_REGULAR_EXPRESSION "SKIPPED")
endif()
