# Runs by CPack between staging and packing: the bundle lives in /usr/lib/quorvella, and the
# desktop finds it through links in /usr/bin and /usr/share.
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
