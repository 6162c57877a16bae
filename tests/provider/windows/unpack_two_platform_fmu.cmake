# cmake -DFMU=<.fmu> -DFOLDER=<folder> -DVM=<stand-in jvm.dll> -P unpack_two_platform_fmu.cmake
# Unpacks the FMU as a host would, lays the stand-in VM out as the FMU's own Windows runtime
# and adds the stand-in's script for the model's layout (7 reals, 1 output, 5 inputs) to the
# FMU's settings.
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})
file(ARCHIVE_EXTRACT INPUT ${FMU} DESTINATION ${FOLDER})
if(NOT EXISTS ${FOLDER}/binaries/win64/FirstOrderLag.dll)
    message(FATAL_ERROR "${FMU} has no Windows binaries")
endif()
set(runtime ${FOLDER}/resources/runtime/win64)
file(MAKE_DIRECTORY ${runtime}/bin/server)
file(COPY_FILE ${VM} ${runtime}/bin/server/jvm.dll)
file(WRITE ${runtime}/release "IMPLEMENTOR=\"kvfmu tests\"\nJAVA_VERSION=\"17.0.97\"\n")
file(APPEND ${FOLDER}/resources/provider.conf
     "vm-option -Dkvfmu.standin.layout=7,1,5\nvm-option -Dkvfmu.standin.data=0.75\n")
