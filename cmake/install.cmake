# The installed product: `cmake --install build --prefix PREFIX`, or the .deb that CPack
# makes of the same (`cpack -G DEB` in the build folder).
#
#   bin/kvfmu-run, bin/kvfmu-pack, bin/kvfmu-sweep
#   lib/kvfmu/        libkvfmu.so and the VM provider kvfmu_provider.so (libkvfmu.dll and
#                     kvfmu_provider.dll when the build was given the Windows build),
#                     kvbridge.jar, kvfmu-pack.jar, python/kvfmu_sweep/, and
#                     commons-math3.jar, a link to Debian's, which kvbridge.jar's manifest names
#   share/kvfmu/fmus/ the built-in models, packed
#   share/doc/kvfmu/  README.md and doc/ (the user guide, reference, developing, performance),
#                     copyright, api/ (the model API's reference) and examples/heated_room/
#                     (the example model's jar, sources and descriptor)
#
# Each tool finds its parts relative to itself (bin/../lib/kvfmu), so the tree can go
# anywhere. The libraries are copied byte for byte: an FMU packed by the installed
# kvfmu-pack carries the same libkvfmu.so as one packed in the build tree.
include(GNUInstallDirs)
set(kvfmu_parts lib/kvfmu)

install(PROGRAMS $<TARGET_FILE:kvfmu-run> DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${KVFMU_PACK} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/kvfmu-sweep/kvfmu-sweep DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES $<TARGET_FILE:kvfmu> DESTINATION ${kvfmu_parts})
if(TARGET kvfmu_provider)
    install(FILES $<TARGET_FILE:kvfmu_provider> DESTINATION ${kvfmu_parts})
endif()
if(KVFMU_WINDOWS_LIBRARY)
    install(FILES ${KVFMU_WINDOWS_LIBRARY} DESTINATION ${kvfmu_parts} RENAME libkvfmu.dll)
    if(TARGET kvfmu_provider)
        # The provider DLL of the same Windows build, unless another one is named.
        set(kvfmu_windows_provider "${KVFMU_WINDOWS_PROVIDER}")
        if(NOT kvfmu_windows_provider)
            get_filename_component(kvfmu_windows_build "${KVFMU_WINDOWS_LIBRARY}" DIRECTORY)
            get_filename_component(kvfmu_windows_build "${kvfmu_windows_build}" DIRECTORY)
            set(kvfmu_windows_provider "${kvfmu_windows_build}/provider/kvfmu_provider.dll")
        endif()
        install(FILES ${kvfmu_windows_provider} DESTINATION ${kvfmu_parts}
                RENAME kvfmu_provider.dll)
    endif()
endif()
get_target_property(kvfmu_bridge_jar kvbridge JAR_FILE)
get_target_property(kvfmu_pack_jar kvfmu_pack JAR_FILE)
install(FILES ${kvfmu_bridge_jar} ${kvfmu_pack_jar} ${KVFMU_COMMONS_MATH_LINK}
        DESTINATION ${kvfmu_parts})
install(FILES ${KVFMU_SWEEP_PACKAGE_SOURCES} DESTINATION ${kvfmu_parts}/python/kvfmu_sweep)

get_property(kvfmu_builtin_fmus GLOBAL PROPERTY KVFMU_BUILTIN_FMUS)
install(FILES ${kvfmu_builtin_fmus} DESTINATION ${CMAKE_INSTALL_DATADIR}/kvfmu/fmus)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Beside the README, so that its links into doc/ hold in the installed tree too.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_BINARY_DIR}/java/api/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/api)
get_target_property(kvfmu_example_jar heated_room JAR_FILE)
install(FILES ${kvfmu_example_jar} ${PROJECT_SOURCE_DIR}/examples/heated_room/model.properties
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/heated_room)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/heated_room/src/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/heated_room/src)

# What the rules above install, built by `cmake --build build --target kvfmu_installed`:
# cpack builds that (in parallel) rather than everything, tests and benchmarks included.
add_custom_target(kvfmu_installed DEPENDS kvfmu kvfmu_provider kvfmu-run kvfmu_pack kvbridge
                                          fmus kvbridge_javadoc heated_room)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(ProcessorCount)
ProcessorCount(kvfmu_cores)
if(kvfmu_cores EQUAL 0)
    set(kvfmu_cores 2)
endif()
set(CPACK_INSTALL_COMMANDS
    "${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target kvfmu_installed --parallel ${kvfmu_cores}")

# The .deb: what the tools need at run time, from Debian 12.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvfmu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "FMI 2.0 FMUs served by a Java simulation server: packer, runner and sweep tool")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "kvfmu <kvfmu@localhost>")
set(CPACK_DEBIAN_PACKAGE_DEPENDS [[
libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, zlib1g, libzip4 (>= 1.7), libpugixml1v5,
libplplot17, plplot-driver-cairo, openjdk-17-jre-headless, libcommons-math3-java,
python3 (>= 3.11), python3-distributed (>= 2022.12), python3-dask, python3-cloudpickle,
python3-numpy, python3-pandas, python3-scipy, python3-matplotlib, python3-tqdm]])
string(REGEX REPLACE "[\n ]+" " " CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
string(STRIP "${CPACK_DEBIAN_PACKAGE_DEPENDS}" CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
