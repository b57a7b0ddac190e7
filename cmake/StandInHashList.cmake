# Writes the hash list of the tests' stand-in installer: the SHA-256 of STANDIN under each prerequisite file
# name that the x86_64 and i686 plans use, in the format sha256sum writes.
# Usage: cmake -DSTANDIN=<fakeinstaller.exe> -DOUTPUT=<list> -P StandInHashList.cmake
file(SHA256 "${STANDIN}" digest)
set(text "# Stand-in prerequisite installers of the tests and of scripts/run.sh\n")
foreach(name NDP472-KB4054530-x86-x64-AllOS-ENU.exe gs950w64.exe gs927w32.exe eDocPrintPro_x64.exe eDocPrintPro.exe)
    string(APPEND text "${digest}  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
