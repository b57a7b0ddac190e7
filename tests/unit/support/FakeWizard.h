// Fakes of the wizard's controls and sheet window, a wizard driver that activates pages the way the property
// sheet does, and a real install controller built on the system fakes.
//
//     WizardEngine engine;                         // fakes + CInstallController
//     CMyPropertySheet sheet(&engine.controller);
//     CWelcomePage welcome;  sheet.AddPage(&welcome);  ...
//     FakeWizard wizard(sheet);
//     wizard.Start();                              // OnInitDialog and OnSetActive of the first page
//     wizard.Controls(welcome).combo...            // the page's fake controls
//     wizard.Next();                               // Navigate, then activate the target
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/EngineServices.h"
#include "engine/InstallController.h"
#include "FakeEngineServices.h"
#include "FakeMsi.h"
#include "FakeSystem.h"
#include "wizard/MyPropertyPage.h"
#include "wizard/MyPropertySheet.h"
#include "wizard/WizardControls.h"

class FakePicture : public IPictureControl {
public:
    std::vector<int32_t> loaded;
    void SetBitmap(int32_t resourceId) override { loaded.push_back(resourceId); }
};

class FakeComboBox : public IComboBox {
public:
    std::vector<std::wstring> items;
    int selection = -1;
    void ResetContent() override
    {
        items.clear();
        selection = -1;
    }
    int AddString(const std::wstring& text) override
    {
        items.push_back(text);
        return static_cast<int>(items.size()) - 1;
    }
    void SetCurSel(int index) override { selection = index >= 0 && index < static_cast<int>(items.size()) ? index : -1; }
    int GetCurSel() override { return selection; }
};

class FakeListBox : public ICheckListBox {
public:
    std::vector<std::wstring> lines;
    std::vector<int> checks;
    void ResetContent() override
    {
        lines.clear();
        checks.clear();
    }
    int AddString(const std::wstring& text) override
    {
        lines.push_back(text);
        checks.push_back(0);
        return static_cast<int>(lines.size()) - 1;
    }
    int GetCount() override { return static_cast<int>(lines.size()); }
    void SetCheck(int index, int state) override
    {
        if (index >= 0 && index < GetCount()) checks[index] = state;
    }
    int GetCheck(int index) override { return index >= 0 && index < GetCount() ? checks[index] : 0; }
};

// A tree whose items get new handles after every DeleteAllItems, as a real tree's do.
class FakeTreeView : public ITreeView {
public:
    struct Item {
        std::wstring text;
        TreeItem parent = 0;
        int stateImage = 0;
        bool expanded = false;
    };
    std::map<TreeItem, Item> items;
    std::vector<TreeItem> insertOrder;
    std::vector<TreeItem> expandOrder;
    int checkBoxResets = 0;

    void ResetCheckBoxes() override
    {
        ++checkBoxResets;
        for (auto& [handle, item] : items) item.stateImage = item.stateImage == 0 ? 0 : 1;
    }
    void DeleteAllItems() override
    {
        items.clear();
        insertOrder.clear();
        expandOrder.clear();
    }
    TreeItem InsertItem(const std::wstring& text, TreeItem parent) override
    {
        if (parent != 0 && !items.count(parent)) return 0;
        const TreeItem handle = next_++;
        items[handle] = Item{text, parent, 1, false};  // a tree with check boxes starts items unchecked
        insertOrder.push_back(handle);
        return handle;
    }
    void SetStateImage(TreeItem item, int index) override
    {
        if (items.count(item)) items[item].stateImage = index;
    }
    int GetStateImage(TreeItem item) override { return items.count(item) ? items[item].stateImage : 0; }
    void Expand(TreeItem item) override
    {
        if (!items.count(item)) return;
        items[item].expanded = true;
        expandOrder.push_back(item);
    }

    // ---- inspection ----
    TreeItem ByText(const std::wstring& text) const
    {
        for (TreeItem h : insertOrder) {
            if (items.at(h).text == text) return h;
        }
        return 0;
    }
    // The titles of parent's children in their order, e.g. for the root.
    std::vector<std::wstring> Children(TreeItem parent) const
    {
        std::vector<std::wstring> out;
        for (TreeItem h : insertOrder) {
            if (items.at(h).parent == parent) out.push_back(items.at(h).text);
        }
        return out;
    }
    // "Title=state image" for every item in insertion order.
    std::vector<std::wstring> States() const
    {
        std::vector<std::wstring> out;
        for (TreeItem h : insertOrder) out.push_back(items.at(h).text + L"=" + std::to_wstring(items.at(h).stateImage));
        return out;
    }
    void Check(const std::wstring& text, bool checked) { SetStateImage(ByText(text), checked ? 2 : 1); }

private:
    TreeItem next_ = 0x1000;
};

class FakeProgressBar : public IProgressBar {
public:
    int low = 0, high = 0;
    bool marquee = false;
    uint32_t interval = 0;
    void SetRange(int l, int h) override
    {
        low = l;
        high = h;
    }
    void SetMarquee(bool on, uint32_t intervalMs) override
    {
        marquee = on;
        interval = intervalMs;
    }
};

// The controls of one dialog. Every id exists unless listed in `missing`. Radio buttons behave as the
// automatic ones of one group when clicked with ClickRadio.
class FakePageControls : public IPageControls {
public:
    std::map<int, std::wstring> texts;
    std::map<int, uint32_t> buttonStates;  // BM_GETSTATE / BM_GETCHECK
    std::set<int> hidden;
    std::set<int> disabled;
    std::set<int> missing;
    std::map<uintptr_t, uint32_t> timers;  // id -> period
    std::map<int, FakePicture> pictures;
    std::map<int, FakeComboBox> combos;
    std::map<int, FakeListBox> lists;
    std::map<int, FakeTreeView> trees;
    std::map<int, FakeProgressBar> progressBars;

    // The user clicks a radio button: it is checked and the others of its group are cleared.
    void ClickRadio(int id, const std::vector<int>& group)
    {
        for (int other : group) buttonStates[other] = 0;
        buttonStates[id] = kButtonChecked;
    }

    bool HasItem(int id) override { return !missing.count(id); }
    void SetItemText(int id, const std::wstring& text) override
    {
        if (HasItem(id)) texts[id] = text;
    }
    std::wstring GetItemText(int id) override { return HasItem(id) && texts.count(id) ? texts[id] : std::wstring(); }
    uint32_t GetButtonState(int id) override { return HasItem(id) && buttonStates.count(id) ? buttonStates[id] : 0; }
    uint32_t GetCheck(int id) override { return GetButtonState(id) & 3; }
    void SetCheck(int id, uint32_t state) override
    {
        if (HasItem(id)) buttonStates[id] = state;
    }
    void ShowItem(int id, bool show) override
    {
        if (show) hidden.erase(id);
        else hidden.insert(id);
    }
    void EnableItem(int id, bool enable) override
    {
        if (enable) disabled.erase(id);
        else disabled.insert(id);
    }
    uintptr_t StartTimer(uintptr_t id, uint32_t periodMs) override
    {
        timers[id] = periodMs;
        return id;
    }
    void StopTimer(uintptr_t id) override { timers.erase(id); }
    IPictureControl* BindPicture(int id) override { return &pictures[id]; }
    IComboBox* BindComboBox(int id) override { return &combos[id]; }
    IListBox* BindListBox(int id) override { return &lists[id]; }
    ICheckListBox* BindCheckListBox(int id) override { return &lists[id]; }
    ITreeView* BindTreeView(int id) override { return &trees[id]; }
    IProgressBar* BindProgressBar(int id) override { return &progressBars[id]; }
};

// Windows services of the pages: the semaphore, the broadcast and the waits are recorded in `calls`; a semaphore
// that another process holds is `semaphoreExists`; each Sleep advances `elapsedMs` and then runs `onSleep`.
class FakeWizardSystem : public IWizardSystem {
public:
    bool semaphoreExists = false;       // the creation reports ERROR_ALREADY_EXISTS (183) and gives a handle
    bool semaphoreFails = false;        // the creation gives no handle and `creationError`
    uint32_t creationError = 5;         // ERROR_ACCESS_DENIED
    std::vector<std::wstring> calls;
    uint32_t elapsedMs = 0;
    std::function<void(uint32_t elapsedMs)> onSleep;
    std::map<uint32_t, std::wstring> errorTexts;  // the system's texts by code
    int openHandles = 0;

    uintptr_t CreateNamedSemaphore(const std::wstring& name, int32_t initialCount, int32_t maximumCount,
                                   uint32_t& lastError) override
    {
        calls.push_back(L"CreateSemaphore " + name + L" " + std::to_wstring(initialCount) + L" " +
                        std::to_wstring(maximumCount));
        if (semaphoreFails) {
            lastError = creationError;
            return 0;
        }
        lastError = semaphoreExists ? 183 : 0;
        ++openHandles;
        return 0x5e;
    }
    void CloseHandle(uintptr_t handle) override
    {
        calls.push_back(L"CloseHandle " + std::to_wstring(handle));
        --openHandles;
    }
    void BroadcastRegisteredMessage(const std::wstring& name) override { calls.push_back(L"Broadcast " + name); }
    void Sleep(uint32_t milliseconds) override
    {
        calls.push_back(L"Sleep " + std::to_wstring(milliseconds));
        elapsedMs += milliseconds;
        if (onSleep) onSleep(elapsedMs);
    }
    std::wstring SystemErrorText(uint32_t code) override
    {
        auto text = errorTexts.find(code);
        return text == errorTexts.end() ? std::wstring() : text->second;
    }
};

// The sheet window: records what the sheet and the pages did to it.
class FakeSheetWindow : public ISheetWindow {
public:
    uintptr_t handle = 0x4242;
    std::vector<uint32_t> posts;
    std::vector<std::wstring> finishTexts;
    std::set<int> controls = {2, 9, 12323, 12324, 12325};  // the sheet's buttons
    std::map<int, std::wstring> controlTexts;
    std::set<int> disabledControls;
    std::map<uint32_t, std::wstring> strings;
    std::vector<std::wstring> preferredLanguages;
    std::vector<std::pair<std::wstring, std::wstring>> opened;  // (verb, url)
    int closes = 0;
    int currentIndex = 0;
    std::function<void(int)> onSelect;  // set by FakeWizard: activates the page
    uint32_t threadStartError = 0;  // non-zero: StartThread fails with this code
    std::vector<std::pair<uint32_t (*)(void*), void*>> threads;
    FakeWizardSystem system;

    uintptr_t Handle() override { return handle; }
    void PostWizardButtons(uint32_t buttons) override { posts.push_back(buttons); }
    void SetFinishText(const std::wstring& text) override { finishTexts.push_back(text); }
    bool SetControlText(int controlId, const std::wstring& text) override
    {
        if (!controls.count(controlId)) return false;
        controlTexts[controlId] = text;
        return true;
    }
    void EnableControl(int controlId, bool enable) override
    {
        if (enable) disabledControls.erase(controlId);
        else disabledControls.insert(controlId);
    }
    int CurrentPageIndex() override { return currentIndex; }
    void SelectPage(int index) override
    {
        if (onSelect) onSelect(index);
        else currentIndex = index;
    }
    void Close() override { ++closes; }
    std::wstring LoadString(uint32_t id) override { return strings.count(id) ? strings[id] : std::wstring(); }
    void SetPreferredUILanguages(const std::wstring& buffer) override { preferredLanguages.push_back(buffer); }
    void OpenUrl(const std::wstring& verb, const std::wstring& url) override { opened.push_back({verb, url}); }
    uint32_t StartThread(uint32_t (*entry)(void*), void* argument) override
    {
        if (threadStartError != 0) return threadStartError;
        threads.push_back({entry, argument});
        return 0;
    }
    IWizardSystem& System() override { return system; }
};

// English strings of the wizard pages.
inline std::map<uint32_t, std::wstring> EnglishWizardStrings()
{
    return {{133, L"&Finish"},
            {136, L"&Install"},
            {137, L"Re&move"},
            {138, L"Re&pair"},
            {139, L"U&pdate"},
            {140, L"Click 'Install' to complete the KELVARO VOV Client installation."},
            {141, L"Click 'Remove' to uninstall the KELVARO VOV Client."},
            {142, L"Click 'Repair' to resolve issues with the KELVARO VOV Client installation."},
            {143, L"Click 'Update' to complete the KELVARO VOV Client update."},
            {144, L"&Next >"},
            {145, L"&Modify"},
            {146, L"Click 'Modify' to select features to be installed."},
            {147, L"The KELVARO VOV Client has been installed."},
            {148, L"The KELVARO VOV Client has been updated."},
            {149, L"The KELVARO VOV Client has been repaired."},
            {150, L"The KELVARO VOV Client has been modified."},
            {151, L"The KELVARO VOV Client has been removed."},
            {152, L"Setup failed. Last result code: %d (0x%x)"},
            {153, L"en-US"},
            {154, L"The free eDocPrintPro and Ghostscript AGPL are used by the optional feature 'Fax Printer'. Click on "
                  L"'Back' and uncheck 'Fax Printer' when you don't want to install eDocPrintPro or Ghostscript AGPL."},
            {164, L"< &Back"},
            {165, L"Help"},
            {166, L"Cancel"},
            {167, L"Installed version: v%s"},
            {168, L"Installer version: v%s"},
            {169, L"Select item for more details."},
            {171, L"Setup failed. %s \r\n\r\n(%d, 0x%x)"},
            {172, L"Please close all applications and restart the computer now! \r\nA reboot is required for applying "
                  L"updates."},
            {173, L"&Reboot"},
            {174, L"It is recommended to uninstall legacy installations of Ghostscript due to known security issues. "
                  L"Remove the checkmarks from all listed versions that you want to keep."},
            {175, L"Setup failed. Downloading the prerequisites failed. Manually download and install <a "
                  L"href=\"%s\">Ghostscript (free)</a> and <a href=\"%s\">eDocPrintPro (free)</a> from the KELVARO "
                  L"server or use the latest free eDocPrintPro version from <a "
                  L"href=\"https://www.edocprintpro.com\">https://www.edocprintpro.com</a>. Then run the setup again. "
                  L"Alternatively you may install the software without the optional feature 'Fax Printer'. \r\n\r\n%s"},
            {176, L"Setup failed. Downloading the prerequisites failed. Manually download and install <a "
                  L"href=\"%s\">%s</a>. Then run the setup again. \r\n\r\n%s"}};
}

// Drives a sheet's pages as the property sheet does: the dialog is created on the first activation, then
// OnSetActive runs; Next and Back go through the sheet's navigation.
class FakeWizard {
public:
    explicit FakeWizard(CMyPropertySheet& sheet) : sheet_(sheet)
    {
        window.strings = EnglishWizardStrings();
        window.onSelect = [this](int index) { Activate(index); };
        sheet_.AttachWindow(&window);
    }
    ~FakeWizard() { sheet_.AttachWindow(nullptr); }

    FakeSheetWindow window;
    // Template ids of the pages activated, in order.
    std::vector<uint32_t> shown;

    void Start() { Activate(0); }
    // Returns the index of the page shown, or -1 when the wizard stayed.
    int Next() { return Go(true); }
    int Back() { return Go(false); }

    bool Activate(int index)
    {
        CMyPropertyPage* page = sheet_.Page(static_cast<size_t>(index));
        if (!page) return false;
        if (!page->HasDialog()) {
            page->AttachDialog(&controls_[page], &sheet_);
            page->OnInitDialog();
        }
        if (!page->OnSetActive()) return false;
        current_ = index;
        window.currentIndex = index;
        shown.push_back(page->TemplateId());
        return true;
    }

    int CurrentIndex() const { return current_; }
    uint32_t CurrentTemplate() const { return current_ >= 0 ? sheet_.Page(current_)->TemplateId() : 0; }
    CMyPropertyPage& Current() const { return *sheet_.Page(current_); }
    FakePageControls& Controls(CMyPropertyPage& page) { return controls_[&page]; }
    FakePageControls& CurrentControls() { return controls_[&Current()]; }

private:
    int Go(bool forward)
    {
        const int target = sheet_.Navigate(current_, forward);
        if (target < 0 || !Activate(target)) return -1;
        return target;
    }

    CMyPropertySheet& sheet_;
    std::map<CMyPropertyPage*, FakePageControls> controls_;
    int current_ = -1;
};

// A page that only stands in for a page of the wizard that a test does not look into.
class StandInPage : public CMyPropertyPage {
public:
    explicit StandInPage(uint32_t templateId) : CMyPropertyPage(templateId) {}
};

// The system fakes and a real install controller on them. The package at the controller's path has a Feature
// table (SetFeatures) and no Upgrade table, so the set-up finds nothing installed; tests set installState.
class WizardEngine : public FakeEngineServices {
public:
    std::unique_ptr<CInstallController> controllerObject;
    CInstallController& controller;

    WizardEngine() : controllerObject(Build()), controller(*controllerObject) {}

    // The package in the working folder the controller creates (the file fake's first GUID).
    std::wstring PackagePath() const
    {
        return files.temp + L"KELVARO Setup {00000000-0000-0000-0000-000000000001}\\" + PackageFileName(true);
    }

    FakeMsi::Package& Package() { return msi.packages[PackagePath()]; }

    // Feature rows: name, parent, title, description, display, level, attributes.
    void SetFeatures(const std::vector<std::vector<FakeMsi::Cell>>& rows)
    {
        Package().tables[L"Feature"] = FakeMsi::Table{{{L"Feature", L"s38"},
                                                        {L"Feature_Parent", L"S38"},
                                                        {L"Title", L"L64"},
                                                        {L"Description", L"L255"},
                                                        {L"Display", L"I2"},
                                                        {L"Level", L"i2"},
                                                        {L"Attributes", L"i2"}},
                                                       rows};
    }

private:
    std::unique_ptr<CInstallController> Build()
    {
        msi.AddPackage(PackagePath());
        // .NET Framework 4.7.2 is present: no prerequisite is missing unless a test says so.
        registry.SetDword(L"HKLM\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", L"Release", 461808);
        return std::make_unique<CInstallController>(engine);
    }
};
