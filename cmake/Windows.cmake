# The Windows build: the Win32 bindings, Setup.exe with its resources, and the test programs.

# Setup.exe runs elevated, mostly from a Downloads folder: it imports only DLLs that are on Windows' KnownDLLs
# list (and ntdll, which every process has before anything is searched), which are never searched for beside the
# program. Every other DLL (msi.dll, urlmon.dll, and comctl32.dll, whose own start-up code loads further DLLs by
# name) is loaded at its first use from the system folder (platform/win32/SystemLibrary.h). The test command
# checks the release's import table.
set(SETUP_SYSTEM_LIBRARIES ole32 oleaut32 uuid shlwapi psapi advapi32 gdi32 user32 shell32 ntdll)

# The thin Windows bindings of the core's interfaces (everything in */win32/ but the entry point).
file(GLOB SETUP_WIN32_SOURCES CONFIGURE_DEPENDS */win32/*.cpp)
list(FILTER SETUP_WIN32_SOURCES EXCLUDE REGEX "/app/win32/Main\\.cpp$")
add_library(setupwin32 STATIC ${SETUP_WIN32_SOURCES})
target_link_libraries(setupwin32 PUBLIC setupcore ${SETUP_SYSTEM_LIBRARIES})
target_compile_options(setupwin32 PRIVATE -Wall -Wextra)

# The sample client packages and the sample clean-up tool: the default payloads.
add_subdirectory(samples)
add_executable(CleanupInstallation WIN32 samples/cleanup/CleanupInstallation.cpp)
set_target_properties(CleanupInstallation PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/samples)
target_link_libraries(CleanupInstallation PRIVATE shell32)
target_link_options(CleanupInstallation PRIVATE -municode -mwindows -static)

# The payloads are inputs of the build: other files need only other values of these variables.
set(SETUP_MSI_X86 "${CMAKE_BINARY_DIR}/samples/KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi"
    CACHE FILEPATH "Windows Installer package for 32-bit Windows, embedded as BIN 130")
set(SETUP_MSI_X64 "${CMAKE_BINARY_DIR}/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
    CACHE FILEPATH "Windows Installer package for 64-bit Windows, embedded as BIN 132")
set(SETUP_CLEANUP_TOOL "${CMAKE_BINARY_DIR}/samples/CleanupInstallation.exe"
    CACHE FILEPATH "Clean-up tool, embedded as BIN 131")
configure_file(resources/payloads.rc.in ${CMAKE_BINARY_DIR}/payloads.rc @ONLY)

# Setup.exe: a statically linked GUI program written straight into the build folder.
add_executable(Setup WIN32 app/win32/Main.cpp resources/Setup.rc ${CMAKE_BINARY_DIR}/payloads.rc)
add_dependencies(Setup sample_packages CleanupInstallation)
set_property(SOURCE ${CMAKE_BINARY_DIR}/payloads.rc APPEND PROPERTY OBJECT_DEPENDS
    ${SETUP_MSI_X86} ${SETUP_MSI_X64} ${SETUP_CLEANUP_TOOL})
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(Setup PRIVATE setupwin32)
# Sections aligned to pages in the file as in memory, so that the loader can map the large payloads
# instead of copying them.
target_link_options(Setup PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++
    -Wl,--file-alignment,4096 -Wl,--section-alignment,4096)
set_property(SOURCE resources/Setup.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/Setup.manifest ${CMAKE_SOURCE_DIR}/resources/version.rc)

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
