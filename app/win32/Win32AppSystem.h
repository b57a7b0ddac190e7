// Windows implementation of the start-up services of the application object.
#pragma once

#include "app/AppSystem.h"

class Win32AppSystem : public IAppSystem {
public:
    void InitializeOle() override;
    void InitializeCommonControls() override;
    uint32_t RegisterForRestart(const std::wstring& arguments) override;
    std::vector<std::wstring> Arguments() override;
    std::wstring ModulePath() override;
    std::wstring FullPath(const std::wstring& path) override;
};
