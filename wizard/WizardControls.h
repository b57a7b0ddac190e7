// The small interfaces through which the wizard's pages act on their dialog and on the sheet window.
// The Windows host implements them over real controls; unit tests implement them with recording fakes.
#pragma once

#include <cstdint>
#include <string>

// A tree-view item; 0 is the root (as parent) or "no item".
using TreeItem = uintptr_t;

// Command and notification codes a page receives, with the values Windows gives them.
constexpr int kBnClicked = 0;         // BN_CLICKED
constexpr int kCbnSelChange = 1;      // CBN_SELCHANGE
constexpr int kNmClick = -2;          // NM_CLICK
constexpr int kTvnSelChanged = -451;  // TVN_SELCHANGEDW

// Button states as BM_GETSTATE and BM_GETCHECK report them.
constexpr uint32_t kButtonChecked = 1;  // BST_CHECKED

// Tree item state images of a tree with check boxes.
constexpr int kStateImageNone = 0;
constexpr int kStateImageUnchecked = 1;
constexpr int kStateImageChecked = 2;

// A notification from one of the page's controls.
struct ControlNotification {
    int controlId = 0;
    int code = 0;
    TreeItem newItem = 0;  // TVN_SELCHANGED: the newly selected item (0 = none)
    std::wstring linkUrl;  // NM_CLICK on a link control: the clicked link's target
};

// The picture control on the left edge of every page.
class IPictureControl {
public:
    virtual ~IPictureControl() = default;
    // Loads the bitmap resource with that id; a failed load keeps the previous bitmap.
    virtual void SetBitmap(int32_t resourceId) = 0;
};

class IComboBox {
public:
    virtual ~IComboBox() = default;
    virtual void ResetContent() = 0;
    // Appends an entry; returns its index.
    virtual int AddString(const std::wstring& text) = 0;
    virtual void SetCurSel(int index) = 0;
    // The selected index, -1 without a selection.
    virtual int GetCurSel() = 0;
};

class IListBox {
public:
    virtual ~IListBox() = default;
    virtual void ResetContent() = 0;
    // Appends a line; returns its index.
    virtual int AddString(const std::wstring& text) = 0;
    virtual int GetCount() = 0;
};

// A list box whose lines each carry a check box that the user toggles by clicking the line.
class ICheckListBox : public IListBox {
public:
    // 1 = checked, 0 = unchecked.
    virtual void SetCheck(int index, int state) = 0;
    virtual int GetCheck(int index) = 0;
};

// A tree view with check boxes drawn as state images (0 none, 1 unchecked, 2 checked).
class ITreeView {
public:
    virtual ~ITreeView() = default;
    // Removes the check-box style and adds it again, which resets the state images.
    virtual void ResetCheckBoxes() = 0;
    virtual void DeleteAllItems() = 0;
    // Inserts an item as the last child of parent (0 = root); returns it.
    virtual TreeItem InsertItem(const std::wstring& text, TreeItem parent) = 0;
    virtual void SetStateImage(TreeItem item, int index) = 0;
    virtual int GetStateImage(TreeItem item) = 0;
    virtual void Expand(TreeItem item) = 0;
};

class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual void SetRange(int low, int high) = 0;
    // Turns the marquee animation on or off; interval in milliseconds between updates.
    virtual void SetMarquee(bool on, uint32_t intervalMs) = 0;
};

// The controls of one page's dialog. Operations on a control id that the dialog does not have do nothing
// (reads give empty text and 0). The Bind operations never return null: a bound control that does not exist
// ignores every operation.
class IPageControls {
public:
    virtual ~IPageControls() = default;
    virtual bool HasItem(int id) = 0;
    virtual void SetItemText(int id, const std::wstring& text) = 0;
    virtual std::wstring GetItemText(int id) = 0;
    virtual uint32_t GetButtonState(int id) = 0;  // BM_GETSTATE
    virtual uint32_t GetCheck(int id) = 0;        // BM_GETCHECK
    virtual void SetCheck(int id, uint32_t state) = 0;
    virtual void ShowItem(int id, bool show) = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    // Starts a window timer on the page; returns its identifier (0 on failure).
    virtual uintptr_t StartTimer(uintptr_t id, uint32_t periodMs) = 0;
    virtual void StopTimer(uintptr_t id) = 0;

    virtual IPictureControl* BindPicture(int id) = 0;
    virtual IComboBox* BindComboBox(int id) = 0;
    virtual IListBox* BindListBox(int id) = 0;
    virtual ICheckListBox* BindCheckListBox(int id) = 0;
    virtual ITreeView* BindTreeView(int id) = 0;
    virtual IProgressBar* BindProgressBar(int id) = 0;
};

// What the pages need from Windows besides their windows: the running client's semaphore and its quit request,
// waiting, and the system's texts for error codes.
class IWizardSystem {
public:
    virtual ~IWizardSystem() = default;
    // CreateSemaphoreW with security attributes of 12 bytes (no security descriptor, inheritable handle).
    // Returns the handle (0 on failure) and the thread's last error right after the call (ERROR_ALREADY_EXISTS
    // when another process created the semaphore).
    virtual uintptr_t CreateNamedSemaphore(const std::wstring& name, int32_t initialCount, int32_t maximumCount,
                                      uint32_t& lastError) = 0;
    virtual void CloseHandle(uintptr_t handle) = 0;
    // RegisterWindowMessageW(name), then PostMessageW(HWND_BROADCAST, message, 0, 0).
    virtual void BroadcastRegisteredMessage(const std::wstring& name) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // FormatMessageW from the system's message table (inserts ignored, language 0x400) into 1000 code units;
    // empty when the system has no text for the code.
    virtual std::wstring SystemErrorText(uint32_t code) = 0;
};

// The sheet window as the pages and the sheet object see it.
class ISheetWindow {
public:
    virtual ~ISheetWindow() = default;
    // The wizard window's handle.
    virtual uintptr_t Handle() = 0;
    // Posts the button word (PSM_SETWIZBUTTONS).
    virtual void PostWizardButtons(uint32_t buttons) = 0;
    // Sends the Finish button's caption (PSM_SETFINISHTEXT).
    virtual void SetFinishText(const std::wstring& text) = 0;
    // Sets the caption of the sheet's own child control with that id; false when there is none.
    virtual bool SetControlText(int controlId, const std::wstring& text) = 0;
    virtual void EnableControl(int controlId, bool enable) = 0;
    // Index of the current page in the sheet's page order.
    virtual int CurrentPageIndex() = 0;
    // Makes the page at that index current (PSM_SETCURSEL); the current page's Next is not called.
    virtual void SelectPage(int index) = 0;
    // Closes the sheet; the sheet object holds the result.
    virtual void Close() = 0;
    // A string of the sheet's language; empty when missing.
    virtual std::wstring LoadString(uint32_t id) = 0;
    // SetProcessPreferredUILanguages(MUI_LANGUAGE_NAME, buffer); the buffer is a list of names ended by
    // two zero code units. The result is not looked at.
    virtual void SetPreferredUILanguages(const std::wstring& buffer) = 0;
    // ShellExecuteW without owner window, with the verb (empty = the default verb) and SW_SHOWNORMAL.
    virtual void OpenUrl(const std::wstring& verb, const std::wstring& url) = 0;
    // Starts a thread running entry(argument) at once; 0 when it runs, else the Windows error code of the failed
    // creation.
    virtual uint32_t StartThread(uint32_t (*entry)(void*), void* argument) = 0;
    // The Windows services beyond the windows.
    virtual IWizardSystem& System() = 0;
};
