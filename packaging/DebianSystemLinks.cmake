# Runs by CPack between staging and packing: the bundle lives in /usr/lib/quorvella, and the
# desktop finds it through links in /usr/bin and /usr/share. The package's own copyright and
# changelog go to /usr/share/doc/quorvella as real files (Debian policy 12.5, 12.7).
file(GLOB_RECURSE staged_roots LIST_DIRECTORIES true
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/lib/quorvella")
list(FILTER staged_roots INCLUDE REGEX "/lib/quorvella$")
list(GET staged_roots 0 bundle)
get_filename_component(usr "${bundle}/../.." ABSOLUTE)
file(MAKE_DIRECTORY "${usr}/bin")
file(CREATE_LINK ../lib/quorvella/bin/quorvella "${usr}/bin/quorvella" SYMBOLIC)
file(GLOB_RECURSE shared RELATIVE "${bundle}/share" "${bundle}/share/*")
foreach(file IN LISTS shared)
    get_filename_component(folder "${usr}/share/${file}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(RELATIVE_PATH link_target "${folder}" "${bundle}/share/${file}")
    file(CREATE_LINK "${link_target}" "${usr}/share/${file}" SYMBOLIC)
endforeach()

set(doc "${usr}/share/doc/quorvella")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_QUORVELLA_DOC_SOURCE}/copyright" "${doc}/copyright")
# gzip -9n: the best compression and no time stamp, so the package builds byte for byte again.
execute_process(COMMAND gzip -9nc "${CPACK_QUORVELLA_DOC_SOURCE}/changelog"
    OUTPUT_FILE "${doc}/changelog.Debian.gz" RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip of the changelog failed: ${gzip_result}")
endif()
file(CHMOD "${doc}/copyright" "${doc}/changelog.Debian.gz"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
