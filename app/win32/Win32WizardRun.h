// The wizard run of Setup.exe: the wizard shown with the common-controls property sheet, in the language the
// user chose, loaded explicitly from the executable's resources; the reboot request after a Finish that needs one.
#pragma once

#include <memory>

#include "app/SetupRun.h"
#include "app/WizardRun.h"
#include "engine/EngineServices.h"

class Win32WizardRun : public IWizardRun {
public:
    explicit Win32WizardRun(EngineServices& services);
    ~Win32WizardRun() override;

    uint32_t Run(CInstallController& controller) override;
    void ShowSetupError(uint32_t error) override;

private:
    class Host;
    class Shutdown;
    EngineServices& services_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<Shutdown> shutdown_;
    CWizardRun run_;
};
