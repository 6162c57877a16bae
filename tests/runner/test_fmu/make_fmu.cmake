# Packs a test FMU: cmake -DOUTPUT=<.fmu> -DSTAGING=<folder> -DDESCRIPTION=<xml>
# -DLIBRARY=<.so> -DJAR=<facade jar> -DPROPERTIES=<model.properties> -P make_fmu.cmake
file(REMOVE_RECURSE ${STAGING})
file(MAKE_DIRECTORY ${STAGING}/binaries/linux64 ${STAGING}/resources)
configure_file(${DESCRIPTION} ${STAGING}/modelDescription.xml COPYONLY)
configure_file(${LIBRARY} ${STAGING}/binaries/linux64/libkvfmu.so COPYONLY)
configure_file(${JAR} ${STAGING}/resources/kvbridge.jar COPYONLY)
configure_file(${PROPERTIES} ${STAGING}/resources/model.properties COPYONLY)
file(REMOVE ${OUTPUT})
# Entries are stored relative to the staging folder, the working directory.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip
            modelDescription.xml binaries resources
    WORKING_DIRECTORY ${STAGING}
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot pack ${OUTPUT}")
endif()
