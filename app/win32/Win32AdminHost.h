// Windows side of the administrators' runs: the usage text on the console or in a message box.
#pragma once

#include "app/AdminRuns.h"

class Win32AdminHost : public IAdminHost {
public:
    void ShowUsage(const std::wstring& caption, const std::wstring& text) override;
    std::wstring ExecutablePath() override;
};
