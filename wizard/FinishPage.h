// The finish page: the outcome of the run (a prerequisite that could not be downloaded, with links to get it by
// hand; a failure with its code and the system's text; or the mode's success text with the reboot request), and
// the Finish or Reboot button.
#pragma once

#include "wizard/MyPropertyPage.h"

class CFinishPage : public CMyPropertyPage {
public:
    CFinishPage();

    bool OnSetActive() override;
    // A click on a link opens its address with the shell.
    intptr_t OnNotify(const ControlNotification& notification, bool& handled) override;

private:
    std::wstring DownloadFailureText(const std::wstring& detail) const;
    std::wstring FailureText(uint32_t code, const std::wstring& detail);
    std::wstring SuccessText();
};
