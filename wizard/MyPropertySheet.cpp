// The wizard sheet: navigation by the pages' answers, the button word and the sheet commands.
#include "wizard/MyPropertySheet.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "wizard/MyPropertyPage.h"

const wchar_t* const kDocumentationUrl = L"https://www.kelvaro.com/de/Downloads/documentation.php";

int CMyPropertySheet::IndexOfTemplate(uint32_t templateId) const
{
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->TemplateId() == templateId) return static_cast<int>(i);
    }
    return -1;
}

void CMyPropertySheet::SetButtonText(int buttonId, uint32_t stringId)
{
    if (window_) window_->SetControlText(buttonId, LoadString(stringId));
}

std::wstring CMyPropertySheet::LoadString(uint32_t id) const
{
    return window_ ? window_->LoadString(id) : std::wstring();
}

void CMyPropertySheet::PostWizardButtons()
{
    if (window_) window_->PostWizardButtons(wizardButtons);
}

void CMyPropertySheet::SetFinishText(const std::wstring& text)
{
    if (window_) window_->SetFinishText(text);
}

void CMyPropertySheet::MoveToNextPage()
{
    if (window_) window_->SelectPage(window_->CurrentPageIndex() + 1);
}

void CMyPropertySheet::EndWizard(int wizardResult)
{
    result = wizardResult;
    if (window_) window_->Close();
}

int CMyPropertySheet::Navigate(int pageIndex, bool forward)
{
    CMyPropertyPage* page = Page(static_cast<size_t>(pageIndex));
    if (pageIndex < 0 || !page) return -1;
    const int answer = forward ? page->OnWizardNext() : page->OnWizardBack();
    if (answer == kStayOnPage) return -1;
    if (answer == kDefaultNeighbour) {
        const int neighbour = forward ? pageIndex + 1 : pageIndex - 1;
        return neighbour >= 0 && static_cast<size_t>(neighbour) < pages_.size() ? neighbour : -1;
    }
    const int target = answer > 0 ? IndexOfTemplate(static_cast<uint32_t>(answer)) : -1;
    // A page that this wizard does not hold: staying keeps the user on a page whose choice is already taken
    // instead of guessing another page.
    if (target < 0) DebugTrace(FormatInserts(L"Page %1!d! is not in the wizard", {answer}));
    return target;
}

bool CMyPropertySheet::OnCancel()
{
    if (controller && controller->running) return false;
    LogMessage(L"InstallController", L"Cancel");
    EndWizard(kIdCancel);
    return true;
}

bool CMyPropertySheet::OnQueryCancel() const { return !(controller && controller->running); }

void CMyPropertySheet::OnHelp()
{
    if (window_) window_->OpenUrl(L"", kDocumentationUrl);
}
