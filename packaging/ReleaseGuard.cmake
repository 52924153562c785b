# Runs by CPack before anything is packed: a build that trusts the sandbox's test key, or
# that carries the placeholder release key, is never packaged.
if(CPACK_QUORVELLA_RELEASE_REFUSAL)
    message(FATAL_ERROR "No package: ${CPACK_QUORVELLA_RELEASE_REFUSAL}")
endif()
