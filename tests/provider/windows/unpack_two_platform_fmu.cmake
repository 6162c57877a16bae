# cmake -DFMU=<.fmu> -DFOLDER=<folder> -DVM=<stand-in jvm.dll> -P unpack_two_platform_fmu.cmake
# Unpacks the FMU as a host would, lays the stand-in VM out as the FMU's own Windows runtime
# and adds the stand-in's script for the model's layout (its reals, outputs and the values
# after the outputs and their copies, counted in the model description) to the FMU's settings.
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
file(READ ${FOLDER}/modelDescription.xml description)
string(REGEX MATCHALL "<ScalarVariable[ \t\r\n]" variables "${description}")
string(REGEX MATCHALL "causality=\"output\"" outputs "${description}")
list(LENGTH variables reals)
list(LENGTH outputs output_count)
math(EXPR after_outputs "${reals} - 2 * ${output_count}")
file(APPEND ${FOLDER}/resources/provider.conf
     "vm-option -Dkvfmu.standin.layout=${reals},${output_count},${after_outputs}\nvm-option -Dkvfmu.standin.data=0.75\n")
