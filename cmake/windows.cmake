# Windows parts of the library build (included from src/CMakeLists.txt when WIN32).

# JNI declarations: the JDK's platform-neutral jni.h plus our own Windows jni_md.h. FindJNI
# is not used here: cross-building, it would pick the Linux jni_md.h.
set(KVFMU_JDK_INCLUDE_DIR /usr/lib/jvm/java-17-openjdk-amd64/include
    CACHE PATH "Directory holding the JDK's jni.h")
if(NOT EXISTS ${KVFMU_JDK_INCLUDE_DIR}/jni.h)
    message(FATAL_ERROR "jni.h not found in ${KVFMU_JDK_INCLUDE_DIR} (openjdk-17-jdk-headless)")
endif()
set(KVFMU_JNI_INCLUDE_DIRS ${KVFMU_JDK_INCLUDE_DIR} ${PROJECT_SOURCE_DIR}/cmake/windows-include)
# The same headers for code elsewhere in the tree (the tests' stand-in jvm.dll).
add_library(kvfmu_windows_jni_headers INTERFACE)
target_include_directories(kvfmu_windows_jni_headers INTERFACE ${KVFMU_JNI_INCLUDE_DIRS})

# Import library for jvm.dll, made from a list of the one function the library calls, so
# that no Windows JDK is needed to build.
set(kvfmu_jvm_def ${PROJECT_SOURCE_DIR}/cmake/jvm.def)
set(kvfmu_jvm_implib ${CMAKE_CURRENT_BINARY_DIR}/libjvm.dll.a)
add_custom_command(
    OUTPUT ${kvfmu_jvm_implib}
    COMMAND ${CMAKE_DLLTOOL} -d ${kvfmu_jvm_def} -l ${kvfmu_jvm_implib} -m i386:x86-64
    DEPENDS ${kvfmu_jvm_def}
    COMMENT "Import library for jvm.dll")
add_custom_target(kvfmu_jvm_implib DEPENDS ${kvfmu_jvm_implib})

add_library(kvfmu_jvm SHARED IMPORTED)
set_target_properties(kvfmu_jvm PROPERTIES IMPORTED_IMPLIB ${kvfmu_jvm_implib})
add_dependencies(kvfmu_jvm kvfmu_jvm_implib)
set(KVFMU_JVM_LIBRARY kvfmu_jvm)

# The DLL links the C and C++ runtimes in (-static), so that it imports only system DLLs
# and jvm.dll; -s strips the symbol table that nothing on Windows reads.
function(kvfmu_windows_link target)
    target_link_options(${target} PRIVATE -static -s)
    set_target_properties(${target} PROPERTIES PREFIX "lib" OUTPUT_NAME kvfmu)
endfunction()
