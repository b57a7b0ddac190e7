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

# Setup.exe: a statically linked GUI program written straight into the build folder.
add_executable(Setup WIN32 app/win32/Main.cpp app/win32/RuntimeSupport.cpp resources/Setup.rc
    ${CMAKE_BINARY_DIR}/payloads.rc)
add_dependencies(Setup setup_payloads)
set_property(SOURCE ${CMAKE_BINARY_DIR}/payloads.rc APPEND PROPERTY OBJECT_DEPENDS
    ${SETUP_MSI_X86} ${SETUP_MSI_X64} ${SETUP_CLEANUP_TOOL_EMBEDDED})
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(Setup PRIVATE setupwin32)
# Sections aligned to pages in the file as in memory, so that the loader can map the large payloads
# instead of copying them.
# The link map (Setup.map) shows what each library contributes; bench/setup-size.sh reads it.
target_link_options(Setup PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++
    -Wl,--file-alignment,4096 -Wl,--section-alignment,4096 -Wl,-Map=${CMAKE_BINARY_DIR}/Setup.map)
file(GLOB SETUP_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h)
set_property(SOURCE resources/Setup.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/Setup.manifest ${CMAKE_SOURCE_DIR}/resources/side.bmp ${SETUP_RESOURCE_FILES})
# Symbols into Setup.exe.debug, then the signature over the whole file with its payloads in place.
setup_strip_after_link(Setup)
add_custom_command(TARGET Setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DACTION=sign -DFILE=$<TARGET_FILE:Setup> -DUNSIGNED_NOTE=ON
        ${SETUP_SIGN_ARGUMENTS} "-DDESCRIPTION=KELVARO VOV Client for Windows Setup"
        -P ${CMAKE_SOURCE_DIR}/cmake/ReleaseBinary.cmake
    VERBATIM)
set_property(TARGET Setup APPEND PROPERTY LINK_DEPENDS ${SETUP_SIGN_DEPENDS})

# Console programs that drive the real Windows bindings from the integration tests.
file(GLOB SETUP_TEST_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*.cpp)
foreach(tool_source ${SETUP_TEST_TOOLS})
    get_filename_component(tool_name ${tool_source} NAME_WE)
    add_executable(${tool_name} ${tool_source})
    set_target_properties(${tool_name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
    target_link_libraries(${tool_name} PRIVATE setupwin32)
    target_link_options(${tool_name} PRIVATE -municode -static -static-libgcc -static-libstdc++)
endforeach()
target_include_directories(Setup PRIVATE ${CMAKE_SOURCE_DIR}/resources)

# DLLs that record that they were loaded, to be planted beside Setup.exe by the tests: msi.dll and urlmon.dll
# with the functions Setup.exe once imported from them, and one without exports to take other names.
foreach(planted msi urlmon plain)
    add_library(planted_${planted} SHARED ${CMAKE_SOURCE_DIR}/tests/tools/planted/planted.cpp
                ${CMAKE_SOURCE_DIR}/tests/tools/planted/${planted}.def)
    set_target_properties(planted_${planted} PROPERTIES OUTPUT_NAME ${planted} PREFIX ""
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/planted)
    target_link_options(planted_${planted} PRIVATE -static -static-libgcc -static-libstdc++)
endforeach()
