# Two-platform FMUs: when MinGW-w64 is installed and no Windows build is named
# (KVFMU_WINDOWS_LIBRARY), this build cross-builds the Windows DLL and VM provider itself, in
# build/windows/ (all it builds without tests: the library and the provider), and packs them into every FMU
# beside the Linux ones. KVFMU_WINDOWS_TARGET names the step that makes them, for rules that
# need them.
option(KVFMU_WINDOWS "Cross-build the Windows DLL and provider for the FMUs when MinGW-w64 is installed" ON)
set(KVFMU_WINDOWS_TARGET "")
if(KVFMU_WINDOWS_LIBRARY OR NOT KVFMU_WINDOWS)
    return()
endif()

find_program(KVFMU_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT KVFMU_MINGW_CXX)
    if(NOT KVFMU_SAID_LINUX_ONLY)
        message(NOTICE "kvfmu: MinGW-w64 is not installed, so the FMUs of this build are "
                "Linux-only. For FMUs that run on Windows too: apt-get install "
                "g++-mingw-w64-x86-64-posix, then configure again.")
        set(KVFMU_SAID_LINUX_ONLY ON CACHE INTERNAL "the Linux-only notice was given")
    endif()
    return()
endif()
unset(KVFMU_SAID_LINUX_ONLY CACHE)

include(ExternalProject)
set(windows_build ${PROJECT_BINARY_DIR}/windows)
set(windows_build_type ${CMAKE_BUILD_TYPE})
if(NOT windows_build_type OR KVFMU_SANITIZE)
    set(windows_build_type RelWithDebInfo)
endif()
ExternalProject_Add(kvfmu_windows
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${windows_build}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${windows_build_type} -DKVFMU_BUILD_TESTS=OFF
    BUILD_BYPRODUCTS ${windows_build}/src/libkvfmu.dll ${windows_build}/provider/kvfmu_provider.dll
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    EXCLUDE_FROM_ALL ON)
set(KVFMU_WINDOWS_LIBRARY ${windows_build}/src/libkvfmu.dll)
set(KVFMU_WINDOWS_TARGET kvfmu_windows)
