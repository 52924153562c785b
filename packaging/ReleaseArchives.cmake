# Runs as a script (the release-archives target): installs the program's bundle and the
# updater's bundle under their published names and zips each with its folder at the top,
# the layout the program and the updater extract.
file(REMOVE_RECURSE "${OUT}")
set(bundles Quorvella.app QuorvellaUpdater.app)
set(components "" updater)
foreach(bundle component IN ZIP_LISTS bundles components)
    set(arguments --install "${BUILD_DIR}" --prefix "${OUT}/stage/${bundle}" --strip)
    if(component)
        list(APPEND arguments --component ${component})
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" ${arguments} RESULT_VARIABLE failed
                    OUTPUT_QUIET)
    if(failed)
        message(FATAL_ERROR "installing ${bundle} failed")
    endif()
    string(REPLACE ".app" ".zip" archive "${bundle}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}/${archive}" --format=zip
                            "${bundle}"
                    WORKING_DIRECTORY "${OUT}/stage" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "zipping ${bundle} failed")
    endif()
    message(STATUS "Release archive: ${OUT}/${archive}")
endforeach()
file(REMOVE_RECURSE "${OUT}/stage")
