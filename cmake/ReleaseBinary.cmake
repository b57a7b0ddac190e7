# Finishes a linked Windows program: run with cmake -P after the link.
#   -DACTION=strip  FILE=<exe> OBJCOPY=<objcopy>
#       moves the debug sections and the symbol table into <exe>.debug beside it and leaves a
#       .gnu_debuglink in <exe> that names that file (with its CRC-32), so that a debugger or
#       addr2line finds the symbols of a crash address.
#   -DACTION=sign   FILE=<exe> [SOURCE=<file to copy to FILE first>] DESCRIPTION=<text>
#                   PKCS12=<file> PASSWORD_FILE=<file> TIMESTAMP_URL=<url> OSSLSIGNCODE=<osslsigncode>
#       gives FILE an Authenticode signature (SHA-256) made with the certificate and key of the
#       PKCS#12 file; without PKCS12 the file stays unsigned and, with UNSIGNED_NOTE=ON, one line says so.
# The password is read from PASSWORD_FILE by osslsigncode itself; it never appears on a command line.
cmake_minimum_required(VERSION 3.20)

function(run_or_fail)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        list(GET ARGN 0 tool)
        get_filename_component(tool "${tool}" NAME)
        message(FATAL_ERROR "${tool} failed on ${FILE} (${result}):\n${output}")
    endif()
endfunction()

if(ACTION STREQUAL "strip")
    get_filename_component(directory "${FILE}" DIRECTORY)
    get_filename_component(name "${FILE}" NAME)
    # The link's name is the bare file name: objcopy records only the name, and the CRC of the file.
    run_or_fail("${OBJCOPY}" --only-keep-debug "${FILE}" "${FILE}.debug")
    execute_process(COMMAND "${OBJCOPY}" --strip-all "--add-gnu-debuglink=${name}.debug" "${name}" "${name}.stripped"
        WORKING_DIRECTORY "${directory}" RESULT_VARIABLE result ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "objcopy failed to strip ${FILE}:\n${output}")
    endif()
    file(RENAME "${FILE}.stripped" "${FILE}")
elseif(ACTION STREQUAL "sign")
    if(SOURCE)
        file(COPY_FILE "${SOURCE}" "${FILE}")
    endif()
    if(NOT PKCS12)
        if(UNSIGNED_NOTE)
            get_filename_component(name "${FILE}" NAME)
            message("${name} is not signed: SETUP_SIGN_PKCS12 is not set")
        endif()
        return()
    endif()
    set(command "${OSSLSIGNCODE}" sign -pkcs12 "${PKCS12}" -h sha256 -n "${DESCRIPTION}")
    if(PASSWORD_FILE)
        list(APPEND command -readpass "${PASSWORD_FILE}")
    endif()
    if(TIMESTAMP_URL)
        list(APPEND command -ts "${TIMESTAMP_URL}")
    endif()
    file(REMOVE "${FILE}.signed")
    run_or_fail(${command} -in "${FILE}" -out "${FILE}.signed")
    file(RENAME "${FILE}.signed" "${FILE}")
else()
    message(FATAL_ERROR "ReleaseBinary.cmake: unknown ACTION '${ACTION}'")
endif()
