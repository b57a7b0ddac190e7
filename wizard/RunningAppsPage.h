// The running-applications page: holds the wizard while Microsoft Outlook runs; Retry checks again and moves on
// to the progress page once Outlook is closed.
#pragma once

#include "wizard/MyPropertyPage.h"

class CRunningAppsPage : public CMyPropertyPage {
public:
    CRunningAppsPage();

    bool OnSetActive() override;
    void OnCommand(int controlId, int code) override;
    // Retry: checks for Outlook once; moves to the next page when it no longer runs.
    void OnButtonCheckRunningApps();
};
