// Stand-in for the client's clean-up tool: writes what it would clean to its own log and exits 0.
// It changes nothing on the machine.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? std::wstring(path) : std::wstring();
}

void Append(HANDLE file, const std::wstring& line)
{
    std::wstring text = line + L"\r\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"KELVARO GmbH";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Setup";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\logs";
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE log = CreateFileW((folder + L"\\CleanupInstallation.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 0;

    Append(log, L"CleanupInstallation started: " + std::wstring(commandLine ? commandLine : L""));
    const std::vector<std::wstring> targets = {
        KnownFolder(CSIDL_PROGRAM_FILES) + L"\\KELVARO\\VOV Client",
        KnownFolder(CSIDL_COMMON_APPDATA) + L"\\KELVARO\\VOV Client",
        KnownFolder(CSIDL_APPDATA) + L"\\KELVARO\\VOV Client",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\KELVARO\\VOV Client",
        L"HKEY_CURRENT_USER\\Software\\KELVARO\\VOV Client",
    };
    for (const std::wstring& target : targets) Append(log, L"Would remove: " + target);
    Append(log, L"CleanupInstallation done");
    CloseHandle(log);
    return 0;
}
