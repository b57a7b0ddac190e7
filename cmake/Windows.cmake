# The Windows build: the Win32 bindings, Setup.exe with its resources, and the test programs.

# Authenticode signing of the clean-up tool and of Setup.exe (osslsigncode, SHA-256). The password
# stays in its file: only the file's path is kept here.
set(SETUP_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and key; empty: unsigned build")
set(SETUP_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of SETUP_SIGN_PKCS12")
set(SETUP_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (optional)")
set(SETUP_SIGN_ARGUMENTS)
set(SETUP_SIGN_DEPENDS ${CMAKE_BINARY_DIR}/signing.txt)
if(SETUP_SIGN_PKCS12)
    find_program(SETUP_OSSLSIGNCODE osslsigncode)
    if(NOT SETUP_OSSLSIGNCODE)
        message(FATAL_ERROR "SETUP_SIGN_PKCS12 is set but osslsigncode is not installed")
    endif()
    foreach(file SETUP_SIGN_PKCS12 SETUP_SIGN_PASSWORD_FILE)
        if(${file} AND NOT EXISTS "${${file}}")
            message(FATAL_ERROR "${file}: no file ${${file}}")
        endif()
    endforeach()
    set(SETUP_SIGN_ARGUMENTS -DOSSLSIGNCODE=${SETUP_OSSLSIGNCODE} -DPKCS12=${SETUP_SIGN_PKCS12}
        -DPASSWORD_FILE=${SETUP_SIGN_PASSWORD_FILE} -DTIMESTAMP_URL=${SETUP_SIGN_TIMESTAMP_URL})
    list(APPEND SETUP_SIGN_DEPENDS ${SETUP_SIGN_PKCS12})
endif()
# Rewritten only when the settings change, so that a change signs (or unsigns) the files again.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/signing.txt
    CONTENT "${SETUP_SIGN_PKCS12}\n${SETUP_SIGN_PASSWORD_FILE}\n${SETUP_SIGN_TIMESTAMP_URL}\n")

# A linked program keeps no symbols: they go to <program>.debug beside it, named by its .gnu_debuglink.
function(setup_strip_after_link target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DACTION=strip -DFILE=$<TARGET_FILE:${target}> -DOBJCOPY=${CMAKE_OBJCOPY}
            -P ${CMAKE_SOURCE_DIR}/cmake/ReleaseBinary.cmake
        VERBATIM)
endfunction()

# Setup.exe runs elevated, mostly from a Downloads folder: it imports only DLLs that are on Windows' KnownDLLs
# list (and ntdll, which every process has before anything is searched), which are never searched for beside the
# program. Every other DLL (msi.dll, urlmon.dll, and comctl32.dll, whose own start-up code loads further DLLs by
# name) is loaded at its first use from the system folder (platform/win32/SystemLibrary.h). The test command
# checks the release's import table.
set(SETUP_SYSTEM_LIBRARIES ole32 oleaut32 uuid shlwapi psapi advapi32 gdi32 user32 shell32 ntdll)

# The thin Windows bindings of the core's interfaces (everything in */win32/ but the entry point and
# Setup.exe's runtime hooks, which must be objects of the program itself, not archive members).
file(GLOB SETUP_WIN32_SOURCES CONFIGURE_DEPENDS */win32/*.cpp)
list(FILTER SETUP_WIN32_SOURCES EXCLUDE REGEX "/app/win32/(Main|RuntimeSupport)\\.cpp$")
add_library(setupwin32 STATIC ${SETUP_WIN32_SOURCES})
target_link_libraries(setupwin32 PUBLIC setupcore ${SETUP_SYSTEM_LIBRARIES})
target_compile_options(setupwin32 PRIVATE -Wall -Wextra)

# The sample client packages and the sample clean-up tool: the default payloads.
add_subdirectory(samples)
add_executable(CleanupInstallation WIN32 samples/cleanup/CleanupInstallation.cpp)
set_target_properties(CleanupInstallation PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/samples)
target_link_libraries(CleanupInstallation PRIVATE shell32)
target_link_options(CleanupInstallation PRIVATE -municode -mwindows -static)
setup_strip_after_link(CleanupInstallation)

# The payloads are inputs of the build: other files need only other values of these variables.
set(SETUP_MSI_X86 "${CMAKE_BINARY_DIR}/samples/KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi"
    CACHE FILEPATH "Windows Installer package for 32-bit Windows, embedded as BIN 130")
set(SETUP_MSI_X64 "${CMAKE_BINARY_DIR}/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
    CACHE FILEPATH "Windows Installer package for 64-bit Windows, embedded as BIN 132")
set(SETUP_CLEANUP_TOOL "${CMAKE_BINARY_DIR}/samples/CleanupInstallation.exe"
    CACHE FILEPATH "Clean-up tool, embedded as BIN 131")

# The clean-up tool is embedded as a copy that carries the release's signature when it is signed.
set(SETUP_CLEANUP_TOOL_EMBEDDED ${CMAKE_BINARY_DIR}/payloads/CleanupInstallation.exe)
add_custom_command(OUTPUT ${SETUP_CLEANUP_TOOL_EMBEDDED}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/payloads
    COMMAND ${CMAKE_COMMAND} -DACTION=sign -DSOURCE=${SETUP_CLEANUP_TOOL} -DFILE=${SETUP_CLEANUP_TOOL_EMBEDDED}
        ${SETUP_SIGN_ARGUMENTS} "-DDESCRIPTION=KELVARO VOV Client clean-up tool"
        -P ${CMAKE_SOURCE_DIR}/cmake/ReleaseBinary.cmake
    DEPENDS ${SETUP_CLEANUP_TOOL} ${SETUP_SIGN_DEPENDS} CleanupInstallation
    COMMENT "Clean-up tool to embed: ${SETUP_CLEANUP_TOOL}"
    VERBATIM)
add_custom_target(setup_payloads DEPENDS ${SETUP_CLEANUP_TOOL_EMBEDDED} sample_packages)
configure_file(resources/payloads.rc.in ${CMAKE_BINARY_DIR}/payloads.rc @ONLY)

# Verification of the prerequisite installers before they run: a list of pinned SHA-256 values of the exact
# files the release points to (recommended), or without one the Authenticode signature rule with expected
# signers. The lists are checked at build time by a small tool built for the build machine; a bad list stops
# the build.
set(SETUP_PREREQUISITE_SHA256 "" CACHE FILEPATH
    "sha256sum list of the prerequisite installers (64 hex digits, two blanks, the file name); empty: signature rule")
set(SETUP_PREREQUISITE_SIGNERS "NDP472-KB4054530-x86-x64-AllOS-ENU.exe=Microsoft Corporation" CACHE STRING
    "Signature rule: list of 'file name=signer' pairs (subject common name of the signing certificate)")
if(SETUP_PREREQUISITE_SHA256 AND NOT EXISTS "${SETUP_PREREQUISITE_SHA256}")
    message(FATAL_ERROR "SETUP_PREREQUISITE_SHA256: cannot read ${SETUP_PREREQUISITE_SHA256}")
endif()
find_program(SETUP_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(SETUP_TRUST_TOOL ${CMAKE_BINARY_DIR}/host-tools/trust_table)
add_custom_command(OUTPUT ${SETUP_TRUST_TOOL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
    COMMAND ${SETUP_HOST_CXX} -std=c++17 -O1 -I${CMAKE_SOURCE_DIR} -o ${SETUP_TRUST_TOOL}
        system/tools/trust_table.cpp system/HashList.cpp system/SignerRules.cpp
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    DEPENDS system/tools/trust_table.cpp system/HashList.cpp system/HashList.h system/SignerRules.cpp
        system/SignerRules.h system/Sha256.h
    COMMENT "Building the build machine's trust_table tool" VERBATIM)

# Target NAME writes OUTPUT, the source of BuiltInPrerequisiteTrust(), from a hash list (may be empty) and signer
# pairs.
function(setup_trust_table name output hash_list signers)
    set(arguments ${output})
    set(inputs ${SETUP_TRUST_TOOL})
    if(hash_list)
        list(APPEND arguments --hashes ${hash_list})
        list(APPEND inputs ${hash_list})
    endif()
    foreach(pair IN LISTS signers)
        list(APPEND arguments --signer ${pair})
    endforeach()
    # A changed list path or signer changes this file, and so makes the table be written again.
    file(CONFIGURE OUTPUT ${output}.inputs CONTENT "${hash_list}\n${signers}\n")
    add_custom_command(OUTPUT ${output} COMMAND ${SETUP_TRUST_TOOL} ${arguments}
        DEPENDS ${inputs} ${output}.inputs COMMENT "Checking the prerequisite lists for ${output}" VERBATIM)
    add_custom_target(${name} DEPENDS ${output})
endfunction()
setup_trust_table(prerequisite_trust ${CMAKE_BINARY_DIR}/PrerequisiteTrust.cpp "${SETUP_PREREQUISITE_SHA256}"
    "${SETUP_PREREQUISITE_SIGNERS}")

# Setup.exe: a statically linked GUI program. setup_executable(TARGET FOLDER TRUST_TARGET TRUST_SOURCE) writes
# FOLDER/Setup.exe with the prerequisite rule of TRUST_SOURCE, written by TRUST_TARGET.
file(GLOB SETUP_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h)
set_property(SOURCE ${CMAKE_BINARY_DIR}/payloads.rc APPEND PROPERTY OBJECT_DEPENDS
    ${SETUP_MSI_X86} ${SETUP_MSI_X64} ${SETUP_CLEANUP_TOOL_EMBEDDED})
set_property(SOURCE resources/Setup.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/Setup.manifest ${CMAKE_SOURCE_DIR}/resources/side.bmp ${SETUP_RESOURCE_FILES})
function(setup_executable target folder trust_target trust_source)
    add_executable(${target} WIN32 app/win32/Main.cpp app/win32/RuntimeSupport.cpp resources/Setup.rc
        ${CMAKE_BINARY_DIR}/payloads.rc ${trust_source})
    add_dependencies(${target} setup_payloads ${trust_target})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME Setup RUNTIME_OUTPUT_DIRECTORY ${folder})
    target_link_libraries(${target} PRIVATE setupwin32)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources)
    # Sections aligned to pages in the file as in memory, so that the loader can map the large payloads
    # instead of copying them.
    # The link map (Setup.map) shows what each library contributes; bench/setup-size.sh reads it.
    target_link_options(${target} PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++
        -Wl,--file-alignment,4096 -Wl,--section-alignment,4096 -Wl,-Map=${folder}/Setup.map)
    # Symbols into Setup.exe.debug, then the signature over the whole file with its payloads in place.
    setup_strip_after_link(${target})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DACTION=sign -DFILE=$<TARGET_FILE:${target}> -DUNSIGNED_NOTE=ON
            ${SETUP_SIGN_ARGUMENTS} "-DDESCRIPTION=KELVARO VOV Client for Windows Setup"
            -P ${CMAKE_SOURCE_DIR}/cmake/ReleaseBinary.cmake
        VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SETUP_SIGN_DEPENDS})
endfunction()
setup_executable(Setup ${CMAKE_BINARY_DIR} prerequisite_trust ${CMAKE_BINARY_DIR}/PrerequisiteTrust.cpp)

# Console programs that drive the real Windows bindings from the integration tests.
file(GLOB SETUP_TEST_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*.cpp)
foreach(tool_source ${SETUP_TEST_TOOLS})
    get_filename_component(tool_name ${tool_source} NAME_WE)
    add_executable(${tool_name} ${tool_source})
    set_target_properties(${tool_name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
    target_link_libraries(${tool_name} PRIVATE setupwin32)
    target_link_options(${tool_name} PRIVATE -municode -static -static-libgcc -static-libstdc++)
endforeach()

# Setup.exe built with the hash list of the stand-in installer (tests/tools/fakeinstaller.cpp) under every
# prerequisite's name: the hash-list build of the integration tests and of scripts/run.sh.
set(SETUP_STANDIN_LIST ${CMAKE_BINARY_DIR}/hashlist/standins.sha256)
add_custom_command(OUTPUT ${SETUP_STANDIN_LIST}
    COMMAND ${CMAKE_COMMAND} -DSTANDIN=$<TARGET_FILE:fakeinstaller> -DOUTPUT=${SETUP_STANDIN_LIST}
        -P ${CMAKE_SOURCE_DIR}/cmake/StandInHashList.cmake
    DEPENDS fakeinstaller ${CMAKE_SOURCE_DIR}/cmake/StandInHashList.cmake VERBATIM)
setup_trust_table(standin_trust ${CMAKE_BINARY_DIR}/hashlist/PrerequisiteTrust.cpp ${SETUP_STANDIN_LIST} "")
setup_executable(SetupHashList ${CMAKE_BINARY_DIR}/hashlist standin_trust
    ${CMAKE_BINARY_DIR}/hashlist/PrerequisiteTrust.cpp)

# DLLs that record that they were loaded, to be planted beside Setup.exe by the tests: msi.dll and urlmon.dll
# with the functions Setup.exe once imported from them, and one without exports to take other names.
foreach(planted msi urlmon plain)
    add_library(planted_${planted} SHARED ${CMAKE_SOURCE_DIR}/tests/tools/planted/planted.cpp
                ${CMAKE_SOURCE_DIR}/tests/tools/planted/${planted}.def)
    set_target_properties(planted_${planted} PROPERTIES OUTPUT_NAME ${planted} PREFIX ""
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/planted)
    target_link_options(planted_${planted} PRIVATE -static -static-libgcc -static-libstdc++)
endforeach()
