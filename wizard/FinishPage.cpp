// The finish page: the three outcomes, tested in this order: download failure, failure, success.
#include "wizard/FinishPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

namespace {

const wchar_t* const kTag = L"CFinishPage";

struct ModeSuccess {
    uint32_t mode;
    const wchar_t* logText;
    uint32_t text;
};

const ModeSuccess kModeSuccess[] = {
    {InstallNewProduct, L"InstallNewProduct done", IDS_DONE_INSTALL},
    {UpdateExistingProduct, L"UpdateExistingProduct done", IDS_DONE_UPDATE},
    {RepairExistingProduct, L"RepairExistingProduct done", IDS_DONE_REPAIR},
    {ModifyExistingProduct, L"ModifyExistingProduct done", IDS_DONE_MODIFY},
    {UnInstallExistingProduct, L"UnInstallExistingProduct done", IDS_DONE_REMOVE},
};

}  // namespace

CFinishPage::CFinishPage() : CMyPropertyPage(IDD_FINISH) {}

bool CFinishPage::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    ShowFinishButton(IDS_FINISH);
    CInstallController* controller = Controller();
    if (!controller) return false;
    const uint32_t code = controller->lastResult;
    const std::wstring detail = controller->downloadErrorText;

    if (controller->downloadFailed) {
        Controls().ShowItem(IDC_FINISH_TEXT, false);
        Controls().ShowItem(IDC_FINISH_LINK, true);
        SetItemText(IDC_FINISH_LINK, DownloadFailureText(detail));
        return true;
    }
    Controls().ShowItem(IDC_FINISH_LINK, false);
    SetItemText(IDC_FINISH_TEXT, code != 0 ? FailureText(code, detail) : SuccessText());
    return true;
}

std::wstring CFinishPage::DownloadFailureText(const std::wstring& detail) const
{
    CInstallController* controller = Controller();
    switch (controller->failedPrerequisite) {
    case DotNetFramework: {
        const PrerequisiteInfo dotNet = DotNetPrerequisite();
        return FormatText(LoadString(IDS_DOWNLOAD_FAILED_DOTNET).c_str(),
                          {dotNet.downloadUrl, dotNet.displayName, detail});
    }
    case Ghostscript:
    case EDocPrintPro: {
        // Both fax prerequisites are offered: the one that failed and the one that may still be missing.
        const bool x64 = controller->isX64Windows;
        return FormatText(LoadString(IDS_DOWNLOAD_FAILED_FAX).c_str(),
                          {GhostscriptPrerequisite(x64).downloadUrl,
                           EDocPrintProPrerequisite(x64, std::wstring()).downloadUrl, detail});
    }
    default:
        return std::wstring();
    }
}

std::wstring CFinishPage::FailureText(uint32_t code, const std::wstring& detail)
{
    LogFormat(kTag, L"Result: %x", code);
    ISheetWindow* window = sheet ? sheet->Window() : nullptr;
    const std::wstring systemText = window ? window->System().SystemErrorText(code) : std::wstring();
    std::wstring text = detail.empty() ? FormatText(LoadString(IDS_SETUP_FAILED).c_str(), {code, code})
                                       : FormatText(LoadString(IDS_SETUP_FAILED_DETAIL).c_str(), {detail, code, code});
    if (!systemText.empty()) text += L"\r\n" + systemText;
    return text;
}

std::wstring CFinishPage::SuccessText()
{
    CInstallController* controller = Controller();
    std::wstring text = L"Done";
    for (const ModeSuccess& success : kModeSuccess) {
        if (success.mode != controller->installMode) continue;
        text = LoadString(success.text);
        LogMessage(kTag, success.logText);
    }
    if (controller->rebootRequired) {
        text += L"\r\n" + LoadString(IDS_REBOOT_REQUIRED);
        ShowFinishButton(IDS_REBOOT);
    }
    return text;
}

intptr_t CFinishPage::OnNotify(const ControlNotification& notification, bool& handled)
{
    handled = false;
    if (notification.controlId != IDC_FINISH_LINK || notification.code != kNmClick) return 0;
    handled = true;
    if (sheet && sheet->Window() && !notification.linkUrl.empty()) sheet->Window()->OpenUrl(L"open", notification.linkUrl);
    return 0;
}
