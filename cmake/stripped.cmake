# kvfmu_stripped(<target>...): the binary is stripped after linking, as it is packed into
# FMUs and installed; its debug information goes to <binary>.debug beside it, which
# debuggers find through the binary's debug link. Sanitizer and Debug builds keep theirs in
# place.
find_program(KVFMU_OBJCOPY NAMES objcopy REQUIRED)
function(kvfmu_stripped)
    if(WIN32 OR KVFMU_SANITIZE OR CMAKE_BUILD_TYPE STREQUAL "Debug")
        return()
    endif()
    foreach(target IN LISTS ARGN)
        set(binary $<TARGET_FILE:${target}>)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${KVFMU_OBJCOPY} --only-keep-debug ${binary} ${binary}.debug
            COMMAND ${KVFMU_OBJCOPY} --strip-unneeded
                    --add-gnu-debuglink=${binary}.debug ${binary}
            VERBATIM)
    endforeach()
endfunction()
