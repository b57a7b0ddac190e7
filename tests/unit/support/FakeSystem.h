// In-memory fakes of the system interfaces: registry, files, resources, downloads, processes, services and
// system facts. Each one records what was asked of it and can be told to fail chosen operations.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <deque>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "system/Downloader.h"
#include "system/FileSystem.h"
#include "system/InstallerTrust.h"
#include "system/Processes.h"
#include "system/Registry.h"
#include "system/Resources.h"
#include "system/Services.h"
#include "system/SystemInfo.h"

namespace fake {

// Windows compares key, value and file names without regard to case.
inline std::wstring Fold(const std::wstring& text)
{
    std::wstring out = text;
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

// A registry string as Windows stores it: UTF-16 little-endian code units and a terminating zero.
inline std::vector<uint8_t> Utf16(const std::wstring& text, bool terminate = true)
{
    std::vector<uint8_t> bytes;
    auto unit = [&bytes](uint32_t u) {
        bytes.push_back(static_cast<uint8_t>(u & 0xff));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (wchar_t c : text) {
        const uint32_t cp = static_cast<uint32_t>(c);
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3ff));
        } else {
            unit(cp);
        }
    }
    if (terminate) unit(0);
    return bytes;
}

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace fake

// A registry tree. Keys are addressed by full path with a root name: "HKLM\SOFTWARE\..." or "HKCR\...".
// Subkeys enumerate in the order they were added. Every handle given out is remembered, so a test can
// check that all of them were closed (OpenHandles()).
class FakeRegistry : public IRegistry {
public:
    enum class Op { Open, Create, Enum, QuerySize, Query, Set };

    struct Value {
        std::wstring name;
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    struct Key {
        std::wstring path;                  // as first written
        std::vector<std::wstring> children; // names as written, in the order they were added
        std::map<std::wstring, Value> values;  // by folded name
    };
    struct Write {
        std::wstring key;  // full path
        std::wstring name;
        uint32_t type = 0;
        std::vector<uint8_t> data;
        bool operator==(const Write& o) const { return Fold(key) == Fold(o.key) && name == o.name && type == o.type && data == o.data; }
    };

    // ---- building the tree ----
    Key& AddKey(const std::wstring& path)
    {
        const size_t slash = path.rfind(L'\\');
        if (slash != std::wstring::npos) {
            Key& parent = AddKey(path.substr(0, slash));
            if (!keys_.count(Fold(path))) parent.children.push_back(path.substr(slash + 1));
        }
        Key& key = keys_[Fold(path)];
        if (key.path.empty()) key.path = path;
        return key;
    }
    void SetRaw(const std::wstring& keyPath, const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data)
    {
        AddKey(keyPath).values[Fold(name)] = Value{name, type, data};
    }
    void SetString(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text)
    {
        SetRaw(keyPath, name, kRegSz, fake::Utf16(text));
    }
    void SetDword(const std::wstring& keyPath, const std::wstring& name, uint32_t value)
    {
        SetRaw(keyPath, name, kRegDword,
               {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                static_cast<uint8_t>(value >> 24)});
    }
    // Makes an operation fail with code. Open and Create match the key's full path; Enum the key's path and
    // the index as text in valueName ("" = every index); QuerySize, Query and Set the key and the value name.
    void Fail(Op op, const std::wstring& keyPath, uint32_t code, const std::wstring& valueName = L"")
    {
        failures_[{op, Fold(keyPath) + L"|" + Fold(valueName)}] = code;
    }

    // ---- inspection ----
    bool HasKey(const std::wstring& path) const { return keys_.count(Fold(path)) != 0; }
    const Value* FindValue(const std::wstring& keyPath, const std::wstring& name) const
    {
        auto key = keys_.find(Fold(keyPath));
        if (key == keys_.end()) return nullptr;
        auto value = key->second.values.find(Fold(name));
        return value == key->second.values.end() ? nullptr : &value->second;
    }
    size_t OpenHandles() const { return handles_.size(); }

    std::vector<Write> writes;          // every successful SetValue
    std::vector<std::wstring> created;  // keys that CreateKey made new (full paths)
    int calls = 0;                      // every operation, CloseKey included

    // ---- IRegistry ----
    uint32_t OpenKey(RegKey parent, const std::wstring& path, bool /*write*/, RegKey& key) override
    {
        ++calls;
        std::wstring full;
        if (!Resolve(parent, path, full)) return 6;  // ERROR_INVALID_HANDLE
        if (uint32_t code = Failure(Op::Open, full)) return code;
        if (!keys_.count(Fold(full))) return kErrorFileNotFound;
        key = NewHandle(full);
        return kErrorSuccess;
    }
    uint32_t CreateKey(RegKey parent, const std::wstring& path, RegKey& key) override
    {
        ++calls;
        std::wstring full;
        if (!Resolve(parent, path, full)) return 6;
        if (uint32_t code = Failure(Op::Create, full)) return code;
        if (!keys_.count(Fold(full))) {
            AddKey(full);
            created.push_back(full);
        }
        key = NewHandle(full);
        return kErrorSuccess;
    }
    uint32_t EnumKey(RegKey key, uint32_t index, uint32_t bufferChars, std::wstring& name) override
    {
        ++calls;
        name.clear();
        const Key* k = Find(key);
        if (!k) return 6;
        if (uint32_t code = Failure(Op::Enum, k->path)) return code;
        if (uint32_t code = Failure(Op::Enum, k->path, std::to_wstring(index))) return code;
        if (index >= k->children.size()) return kErrorNoMoreItems;
        const std::wstring& child = k->children[index];
        if (child.size() + 1 > bufferChars) return kErrorMoreData;
        name = child;
        return kErrorSuccess;
    }
    uint32_t QueryValueSize(RegKey key, const std::wstring& name, uint32_t& type, uint32_t& size) override
    {
        ++calls;
        const Key* k = Find(key);
        if (!k) return 6;
        if (uint32_t code = Failure(Op::QuerySize, k->path, name)) return code;
        auto v = k->values.find(Fold(name));
        if (v == k->values.end()) return kErrorFileNotFound;
        type = v->second.type;
        size = static_cast<uint32_t>(v->second.data.size());
        return kErrorSuccess;
    }
    uint32_t QueryValue(RegKey key, const std::wstring& name, uint32_t bufferBytes, uint32_t& type,
                        std::vector<uint8_t>& data) override
    {
        ++calls;
        data.clear();
        const Key* k = Find(key);
        if (!k) return 6;
        if (uint32_t code = Failure(Op::Query, k->path, name)) return code;
        auto v = k->values.find(Fold(name));
        if (v == k->values.end()) return kErrorFileNotFound;
        type = v->second.type;
        if (v->second.data.size() > bufferBytes) return kErrorMoreData;
        data = v->second.data;
        return kErrorSuccess;
    }
    uint32_t SetValue(RegKey key, const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data) override
    {
        ++calls;
        const Key* k = Find(key);
        if (!k) return 6;
        if (uint32_t code = Failure(Op::Set, k->path, name)) return code;
        writes.push_back(Write{k->path, name, type, data});
        SetRaw(k->path, name, type, data);
        return kErrorSuccess;
    }
    void CloseKey(RegKey key) override
    {
        ++calls;
        handles_.erase(key);
    }

private:
    static std::wstring Fold(const std::wstring& text) { return fake::Fold(text); }

    bool Resolve(RegKey parent, const std::wstring& path, std::wstring& full) const
    {
        std::wstring base;
        if (parent == kRegLocalMachine) {
            base = L"HKLM";
        } else if (parent == kRegClassesRoot) {
            base = L"HKCR";
        } else {
            auto h = handles_.find(parent);
            if (h == handles_.end()) return false;
            base = h->second;
        }
        full = path.empty() ? base : base + L"\\" + path;
        if (keys_.count(Fold(full))) full = keys_.at(Fold(full)).path;
        return true;
    }
    const Key* Find(RegKey key) const
    {
        auto h = handles_.find(key);
        if (h == handles_.end()) return nullptr;
        auto k = keys_.find(Fold(h->second));
        return k == keys_.end() ? nullptr : &k->second;
    }
    RegKey NewHandle(const std::wstring& full)
    {
        const RegKey handle = nextHandle_++;
        handles_[handle] = full;
        return handle;
    }
    uint32_t Failure(Op op, const std::wstring& keyPath, const std::wstring& valueName = L"") const
    {
        auto f = failures_.find({op, Fold(keyPath) + L"|" + Fold(valueName)});
        return f == failures_.end() ? 0 : f->second;
    }

    std::map<std::wstring, Key> keys_;  // by folded full path
    std::map<RegKey, std::wstring> handles_;
    std::map<std::pair<Op, std::wstring>, uint32_t> failures_;
    RegKey nextHandle_ = 100;
};

// Files by full path (compared without regard to case). WriteNewFile remembers where its bytes came from,
// so a test can tell whether a caller handed over a mapped view or a copy. Folders opened safely are recorded;
// a folder named in `links` is a link (junction, symbolic link) and is refused, as is one in `notFolders`.
class FakeFileSystem : public IFileSystem {
public:
    struct WriteCall {
        std::wstring path;
        const void* data = nullptr;
        size_t size = 0;
    };

    std::wstring temp = L"C:\\Users\\Jörg\\AppData\\Local\\Temp\\";
    std::wstring systemDirectory = L"C:\\Windows\\system32";
    std::set<std::wstring> folders;          // folded paths of folders that exist
    std::set<std::wstring> links;            // folded paths of links to folders
    std::set<std::wstring> notFolders;       // folded paths of files where a folder is expected
    std::set<std::wstring> unsafeFiles;      // folded paths of files that are links or have a second name
    std::map<std::wstring, uint32_t> failWrite;  // path -> Windows error of its WriteNewFile (nothing is left)
    uint32_t failPrivateFolder = 0;          // CreatePrivateFolder's error for every name (0: none)
    std::deque<std::wstring> guids;          // NewGuid's answers, then "{00000000-0000-0000-0000-00000000000N}"
    bool failDelete = false;                 // every DeleteFile fails
    std::set<std::wstring> locked;           // folded paths held open without write or delete sharing
    std::vector<WriteCall> writeCalls;
    std::vector<std::wstring> deleteCalls;   // every DeleteFile, successful or not
    std::vector<std::wstring> copyCalls;     // every CopyNewFile, as "from -> to"
    std::vector<std::wstring> privateFolders;   // every CreatePrivateFolder, in order
    std::vector<std::wstring> openedFolders;    // every OpenFolderSafely, in order
    std::vector<std::wstring> removedTrees;     // every RemoveTree, in order
    std::vector<std::wstring> markerDeletions;  // every DeleteMarker, in order
    std::set<std::wstring> lockedTrees;         // folded paths of folders that RemoveTree cannot remove
    std::set<std::wstring> openFolders;         // folded paths of folders others can change (not private)

    void AddFile(const std::wstring& path, const std::string& content = "") { files_[fake::Fold(path)] = {path, content}; }
    bool Has(const std::wstring& path) const { return files_.count(fake::Fold(path)) != 0; }
    bool HasFolder(const std::wstring& path) const { return folders.count(fake::Fold(path)) != 0; }
    std::string Content(const std::wstring& path) const
    {
        auto f = files_.find(fake::Fold(path));
        return f == files_.end() ? std::string() : f->second.second;
    }
    size_t FileCount() const { return files_.size(); }
    // The files inside a folder (at any depth), by path as written.
    std::vector<std::wstring> FilesIn(const std::wstring& folder) const
    {
        std::vector<std::wstring> found;
        const std::wstring prefix = fake::Fold(folder) + L"\\";
        for (const auto& [key, file] : files_) {
            if (key.compare(0, prefix.size(), prefix) == 0) found.push_back(file.first);
        }
        return found;
    }

    std::wstring TempFolder() override { return temp; }
    std::wstring SystemDirectory() override { return systemDirectory; }
    bool FileExists(const std::wstring& path) override { return Has(path); }
    bool OpenFolderSafely(const std::wstring& path, bool create) override
    {
        openedFolders.push_back(path);
        const std::wstring key = fake::Fold(path);
        if (links.count(key) || notFolders.count(key)) return false;
        if (path + L"\\" == temp) return true;  // the temporary folder always exists
        if (!folders.count(key) && !create) return false;
        folders.insert(key);
        return true;
    }
    uint32_t CreatePrivateFolder(const std::wstring& path) override
    {
        privateFolders.push_back(path);
        if (failPrivateFolder != 0) return failPrivateFolder;
        const std::wstring key = fake::Fold(path);
        if (folders.count(key) || links.count(key) || notFolders.count(key) || Has(path)) return kErrorAlreadyExists;
        folders.insert(key);
        writtenFolders.push_back(path);
        return 0;
    }
    std::wstring NewGuid() override
    {
        if (!guids.empty()) {
            const std::wstring guid = guids.front();
            guids.pop_front();
            return guid;
        }
        ++guidCount_;
        const std::wstring digits = std::to_wstring(guidCount_);
        return L"{00000000-0000-0000-0000-" + std::wstring(12 - digits.size(), L'0') + digits + L"}";
    }
    uint32_t WriteNewFile(const std::wstring& path, const void* data, size_t size) override
    {
        writeCalls.push_back({path, data, size});
        auto failure = failWrite.find(path);
        if (failure != failWrite.end()) return failure->second;
        if (locked.count(fake::Fold(path))) return 32;  // ERROR_SHARING_VIOLATION
        if (Has(path)) return kErrorFileExists;
        const std::wstring parent = path.substr(0, path.rfind(L'\\'));
        if (!folders.count(fake::Fold(parent))) return 3;  // ERROR_PATH_NOT_FOUND
        AddFile(path, size ? std::string(static_cast<const char*>(data), size) : std::string());
        return 0;
    }
    uint32_t CopyNewFile(const std::wstring& from, const std::wstring& to) override
    {
        copyCalls.push_back(from + L" -> " + to);
        auto failure = failWrite.find(to);
        if (failure != failWrite.end()) return failure->second;
        if (!Has(from)) return 2;  // ERROR_FILE_NOT_FOUND
        if (Has(to)) return kErrorFileExists;
        const std::wstring parent = to.substr(0, to.rfind(L'\\'));
        if (!folders.count(fake::Fold(parent))) return 3;  // ERROR_PATH_NOT_FOUND
        AddFile(to, Content(from));
        return 0;
    }
    bool IsMissingOrPlainFile(const std::wstring& path) override
    {
        const std::wstring key = fake::Fold(path);
        return !unsafeFiles.count(key) && !folders.count(key) && !links.count(key);
    }
    bool DeleteFile(const std::wstring& path) override
    {
        deleteCalls.push_back(path);
        if (failDelete || locked.count(fake::Fold(path))) return false;
        return files_.erase(fake::Fold(path)) == 1;
    }
    // A file held open (in `locked`) keeps its folder, and so does a folder in lockedTrees; everything else in
    // them is deleted all the same, as on Windows.
    bool RemoveTree(const std::wstring& path) override
    {
        removedTrees.push_back(path);
        bool kept = lockedTrees.count(fake::Fold(path)) != 0;
        for (const std::wstring& file : FilesIn(path)) {
            if (locked.count(fake::Fold(file))) kept = true;
            else files_.erase(fake::Fold(file));
        }
        if (kept) return false;
        const std::wstring prefix = fake::Fold(path) + L"\\";
        for (auto it = folders.begin(); it != folders.end();) {
            if (*it == fake::Fold(path) || it->compare(0, prefix.size(), prefix) == 0) it = folders.erase(it);
            else ++it;
        }
        return true;
    }
    // The names, as written, of the folders created in `folder` (writtenFolders) that still exist and are no links.
    std::vector<std::wstring> ListFolders(const std::wstring& folder) override
    {
        std::vector<std::wstring> names;
        for (const std::wstring& path : writtenFolders) {
            const size_t slash = path.rfind(L'\\');
            if (slash != std::wstring::npos && fake::Fold(path.substr(0, slash + 1)) == fake::Fold(folder) &&
                folders.count(fake::Fold(path)) && !links.count(fake::Fold(path)))
                names.push_back(path.substr(slash + 1));
        }
        return names;
    }
    bool IsPrivateFolder(const std::wstring& path) override
    {
        const std::wstring key = fake::Fold(path);
        return folders.count(key) && !links.count(key) && !openFolders.count(key);
    }
    // The marker is a file like any other, held open (in `locked`) until ReleaseMarker.
    bool HoldMarker(const std::wstring& path) override
    {
        if (Has(path) || !folders.count(fake::Fold(path.substr(0, path.rfind(L'\\'))))) return false;
        AddFile(path);
        locked.insert(fake::Fold(path));
        heldMarker_ = fake::Fold(path);
        return true;
    }
    void ReleaseMarker() override
    {
        locked.erase(heldMarker_);
        heldMarker_.clear();
    }
    MarkerDeletion DeleteMarker(const std::wstring& path) override
    {
        markerDeletions.push_back(path);
        if (!Has(path)) return MarkerDeletion::Missing;
        if (locked.count(fake::Fold(path))) return MarkerDeletion::InUse;
        files_.erase(fake::Fold(path));
        return MarkerDeletion::Deleted;
    }
    // A working folder of an earlier run as a start finds it: with its marker held (a run that is going) or not
    // (one that has ended), or without a marker.
    enum class Run { Going, Ended, NoMarker };
    void AddRunFolder(const std::wstring& path, Run run)
    {
        folders.insert(fake::Fold(path));
        writtenFolders.push_back(path);
        if (run == Run::NoMarker) return;
        AddFile(path + L"\\Setup.running");
        if (run == Run::Going) locked.insert(fake::Fold(path + L"\\Setup.running"));
    }
    std::vector<std::wstring> writtenFolders;  // folders with their names as written, for ListFolders

private:
    std::map<std::wstring, std::pair<std::wstring, std::string>> files_;  // folded path -> (path, content)
    int guidCount_ = 0;
    std::wstring heldMarker_;
};

// Resources: payloads by (type, id) and strings by id. throwOnAccess makes every call throw std::bad_alloc,
// as a failed allocation inside the platform would.
class FakeResources : public IResources {
public:
    std::map<std::pair<std::wstring, uint16_t>, std::string> payloads;  // type as given, e.g. L"BIN"
    std::map<uint32_t, std::wstring> strings;                            // the start-up language's
    std::map<std::pair<uint16_t, uint32_t>, std::wstring> languageStrings;  // (language id, string id)
    uint16_t language = 0;                                               // the last SetLanguage
    bool throwOnAccess = false;

    void SetLanguage(uint16_t languageId) override { language = languageId; }

    PayloadView FindPayload(const std::wstring& type, uint16_t id) override
    {
        if (throwOnAccess) throw std::bad_alloc();
        PayloadView view;
        auto p = payloads.find({type, id});
        if (p == payloads.end()) return view;
        view.data = p->second.data();
        view.size = p->second.size();
        view.found = true;
        return view;
    }
    std::wstring LoadString(uint32_t id) override
    {
        if (throwOnAccess) throw std::bad_alloc();
        if (language != 0) {
            auto l = languageStrings.find({language, id});
            if (l != languageStrings.end()) return l->second;
        }
        auto s = strings.find(id);
        return s == strings.end() ? std::wstring() : s->second;
    }
};

// Downloads scripted per attempt: each call takes the next Attempt (after the script: `otherwise`).
// An attempt returns its HRESULT and, when createFile is set, creates the destination in the file fake; the
// report gives the announced length and the content's length as received.
class FakeDownloader : public IDownloader {
public:
    struct Attempt {
        uint32_t hr = 0;
        bool createFile = true;
        std::string content = "installer";
        uint64_t announcedBytes = 0;  // 0: the server announced no length
        bool stalled = false;
        bool redirectLoop = false;
    };
    struct Call {
        std::wstring url;
        std::wstring path;
        uintptr_t parentWindow = 0;
    };

    explicit FakeDownloader(FakeFileSystem& files) : files_(files) {}

    std::deque<Attempt> script;
    Attempt otherwise{0x800C0008, false, ""};  // INET_E_DOWNLOAD_FAILURE, no file
    std::vector<Call> calls;

    uint32_t Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow,
                      DownloadReport& report) override
    {
        calls.push_back({url, path, parentWindow});
        Attempt a = otherwise;
        if (!script.empty()) {
            a = script.front();
            script.pop_front();
        }
        if (a.createFile) files_.AddFile(path, a.content);
        report.announcedBytes = a.announcedBytes;
        report.receivedBytes = a.createFile ? a.content.size() : 0;
        report.stalled = a.stalled;
        report.redirectLoop = a.redirectLoop;
        return a.hr;
    }

private:
    FakeFileSystem& files_;
};

// Opens files of the file fake and answers signature checks per path (after the table: `otherwise`, a valid
// signature). Records every call and which files are open; an open file cannot be deleted or written in the
// file fake, as the share mode makes it on Windows.
class FakeInstallerTrust : public IInstallerTrust {
public:
    struct Signature {
        uint32_t result = 0;
        std::wstring signer;
    };

    explicit FakeInstallerTrust(FakeFileSystem& files) : files_(files) {}

    std::map<std::wstring, Signature> signatures;  // by folded path
    Signature otherwise{0, L"Test Signer"};
    std::map<std::wstring, uint32_t> openErrors;    // by folded path: the Windows error of the open
    std::map<std::wstring, uint32_t> readErrors;    // by folded path: the Windows error of the first read
    std::map<std::wstring, std::wstring> links;     // by folded path: where a link on the way leads
    size_t readPiece = 7;                           // at most this many bytes per read
    std::vector<std::wstring> opened;               // every open, also refused ones
    std::vector<std::wstring> signatureChecks;      // paths given to CheckSignature
    int reads = 0;

    void SetSignature(const std::wstring& path, uint32_t result, const std::wstring& signer)
    {
        signatures[fake::Fold(path)] = {result, signer};
    }
    std::vector<std::wstring> OpenPaths() const
    {
        std::vector<std::wstring> paths;
        for (const auto& h : open_) paths.push_back(h.second.path);
        return paths;
    }

    uint32_t OpenForVerification(const std::wstring& path, TrustFileHandle& file, std::wstring& resolvedPath) override
    {
        opened.push_back(path);
        auto e = openErrors.find(fake::Fold(path));
        if (e != openErrors.end()) return e->second;
        if (!files_.Has(path)) return 2;  // ERROR_FILE_NOT_FOUND
        file = next_++;
        open_[file] = {path, files_.Content(path), 0};
        auto link = links.find(fake::Fold(path));
        resolvedPath = link == links.end() ? path : link->second;
        files_.locked.insert(fake::Fold(path));
        return 0;
    }
    uint32_t Read(TrustFileHandle file, uint8_t* buffer, size_t size, size_t& count) override
    {
        ++reads;
        auto h = open_.find(file);
        if (h == open_.end()) return 6;  // ERROR_INVALID_HANDLE
        auto e = readErrors.find(fake::Fold(h->second.path));
        if (e != readErrors.end()) return e->second;
        const std::string& content = h->second.content;
        count = std::min({size, readPiece, content.size() - h->second.position});
        std::copy(content.begin() + h->second.position, content.begin() + h->second.position + count, buffer);
        h->second.position += count;
        return 0;
    }
    uint32_t CheckSignature(TrustFileHandle file, const std::wstring& path, std::wstring& signer) override
    {
        signatureChecks.push_back(path);
        if (!open_.count(file)) return 6;
        auto s = signatures.find(fake::Fold(path));
        const Signature& answer = s == signatures.end() ? otherwise : s->second;
        if (answer.result == 0) signer = answer.signer;
        return answer.result;
    }
    void Close(TrustFileHandle file) override
    {
        auto h = open_.find(file);
        if (h == open_.end()) return;
        files_.locked.erase(fake::Fold(h->second.path));
        open_.erase(h);
    }

private:
    struct Open {
        std::wstring path;
        std::string content;
        size_t position = 0;
    };
    FakeFileSystem& files_;
    std::map<TrustFileHandle, Open> open_;
    TrustFileHandle next_ = 0x700;
};

// Starts nothing: records command lines and answers with scripted outcomes (after the script: `otherwise`).
class FakeProcessLauncher : public IProcessLauncher {
public:
    struct Outcome {
        uint32_t startError = 0;      // CreateProcessW's error; 0 = started
        uint32_t exitCode = 0;
        uint32_t exitCodeError = 0;   // GetExitCodeProcess's error; 0 = the code is known
    };

    std::deque<Outcome> script;
    Outcome otherwise;
    std::vector<std::wstring> commandLines;    // every Start, also those that failed
    std::vector<std::wstring> applications;    // the program of every Start
    std::vector<std::wstring> currentFolders;  // the child's current folder of every Start
    std::function<void(const std::wstring&)> onStart;  // called with the command line before each Start answers
    std::vector<ProcessHandle> waited;
    std::vector<ProcessHandle> closed;

    size_t OpenHandles() const { return running_.size(); }

    uint32_t Start(const std::wstring& application, const std::wstring& commandLine, const std::wstring& currentFolder,
                   ProcessHandle& process) override
    {
        commandLines.push_back(commandLine);
        applications.push_back(application);
        currentFolders.push_back(currentFolder);
        if (onStart) onStart(commandLine);
        Outcome o = otherwise;
        if (!script.empty()) {
            o = script.front();
            script.pop_front();
        }
        if (o.startError != 0) return o.startError;
        process = nextHandle_++;
        running_[process] = o;
        return 0;
    }
    void WaitForExit(ProcessHandle process) override { waited.push_back(process); }
    uint32_t ExitCode(ProcessHandle process, uint32_t& code) override
    {
        auto p = running_.find(process);
        if (p == running_.end()) return 6;  // ERROR_INVALID_HANDLE
        if (p->second.exitCodeError != 0) return p->second.exitCodeError;
        code = p->second.exitCode;
        return 0;
    }
    void Close(ProcessHandle process) override
    {
        closed.push_back(process);
        running_.erase(process);
    }

private:
    std::map<ProcessHandle, Outcome> running_;
    ProcessHandle nextHandle_ = 0x100;
};

// Running processes in enumeration order. Each can refuse to be opened, hide its module name, refuse to be
// terminated or outlive the wait. Terminate ends a process (it is no longer enumerated).
class FakeProcessList : public IProcessList {
public:
    struct Process {
        uint32_t id = 0;
        std::string name;               // the executable's file name
        bool canQuery = true;           // OpenForQuery succeeds
        bool imageReadable = true;      // ImageFileName succeeds
        std::wstring folder = L"C:\\Program Files\\App\\";  // of the image path
        std::wstring imagePath;         // when set, the image path as is (folder and name unused)
        bool canTerminate = true;       // OpenForTermination succeeds
        uint32_t terminateError = 0;    // TerminateProcess's error
        bool endsInTime = true;         // WaitForExit succeeds
        bool running = true;
    };

    std::vector<Process> processes;
    bool failEnumeration = false;
    int privilegeRequests = 0;
    std::vector<uint32_t> terminated;  // ids, in order
    std::vector<uint32_t> exitCodes;   // exit codes passed to Terminate

    void Add(uint32_t id, const std::string& name)
    {
        Process process;
        process.id = id;
        process.name = name;
        processes.push_back(process);
    }
    Process* ById(uint32_t id)
    {
        for (Process& p : processes) {
            if (p.id == id) return &p;
        }
        return nullptr;
    }
    size_t OpenHandles() const { return handles_.size(); }

    bool EnumerateIds(std::vector<uint32_t>& ids) override
    {
        if (failEnumeration) return false;
        for (const Process& p : processes) {
            if (p.running && ids.size() < 1024) ids.push_back(p.id);
        }
        return true;
    }
    ProcessHandle OpenForQuery(uint32_t id) override
    {
        Process* p = ById(id);
        if (!p || !p->running || !p->canQuery) return 0;
        return NewHandle(id);
    }
    bool ImageFileName(ProcessHandle process, std::wstring& path) override
    {
        Process* p = ById(IdOf(process));
        if (!p || !p->imageReadable) return false;
        path = p->imagePath.empty() ? p->folder + std::wstring(p->name.begin(), p->name.end()) : p->imagePath;
        return true;
    }
    ProcessHandle OpenForTermination(uint32_t id) override
    {
        Process* p = ById(id);
        if (!p || !p->running || !p->canTerminate) return 0;
        return NewHandle(id);
    }
    void EnableDebugPrivilege() override { ++privilegeRequests; }
    uint32_t Terminate(ProcessHandle process, uint32_t exitCode) override
    {
        Process* p = ById(IdOf(process));
        if (!p) return 6;
        if (p->terminateError != 0) return p->terminateError;
        terminated.push_back(p->id);
        exitCodes.push_back(exitCode);
        p->running = false;
        return 0;
    }
    bool WaitForExit(ProcessHandle process, uint32_t /*milliseconds*/) override
    {
        Process* p = ById(IdOf(process));
        return p && !p->running && p->endsInTime;
    }
    void Close(ProcessHandle process) override { handles_.erase(process); }

private:
    ProcessHandle NewHandle(uint32_t id)
    {
        const ProcessHandle h = nextHandle_++;
        handles_[h] = id;
        return h;
    }
    uint32_t IdOf(ProcessHandle h) const
    {
        auto it = handles_.find(h);
        return it == handles_.end() ? 0 : it->second;
    }
    std::map<ProcessHandle, uint32_t> handles_;
    ProcessHandle nextHandle_ = 0x500;
};

// Services by name (ignoring case) with a running state. Start and Stop answer as Windows does
// (1056 already running, 1062 not active) unless a service has an error of its own.
class FakeServiceApi : public IServiceApi {
public:
    struct Service {
        bool running = false;
        uint32_t startError = 0;  // answered by Start instead of the state's answer
        uint32_t stopError = 0;
        uint32_t openError = 0;
    };

    uint32_t openManagerError = 0;
    std::map<std::wstring, Service> services;  // by folded name
    std::vector<std::wstring> calls;           // "OpenManager", "OpenService <name>", "Start", "Stop", "Close"

    Service& Add(const std::wstring& name, bool running)
    {
        Service& s = services[fake::Fold(name)];
        s.running = running;
        return s;
    }
    size_t OpenHandles() const { return handles_.size(); }

    uint32_t OpenManager(ServiceHandle& manager) override
    {
        calls.push_back(L"OpenManager");
        if (openManagerError) return openManagerError;
        manager = NewHandle(L"");
        return 0;
    }
    uint32_t OpenService(ServiceHandle manager, const std::wstring& name, ServiceHandle& service) override
    {
        calls.push_back(L"OpenService " + name);
        if (!handles_.count(manager)) return 6;
        auto s = services.find(fake::Fold(name));
        if (s == services.end()) return kErrorServiceDoesNotExist;
        if (s->second.openError) return s->second.openError;
        service = NewHandle(fake::Fold(name));
        return 0;
    }
    uint32_t Start(ServiceHandle service) override
    {
        calls.push_back(L"Start");
        Service* s = ByHandle(service);
        if (!s) return 6;
        if (s->startError) return s->startError;
        if (s->running) return kErrorServiceAlreadyRunning;
        s->running = true;
        return 0;
    }
    uint32_t Stop(ServiceHandle service) override
    {
        calls.push_back(L"Stop");
        Service* s = ByHandle(service);
        if (!s) return 6;
        if (s->stopError) return s->stopError;
        if (!s->running) return kErrorServiceNotActive;
        s->running = false;
        return 0;
    }
    void Close(ServiceHandle handle) override
    {
        calls.push_back(L"Close");
        handles_.erase(handle);
    }

private:
    ServiceHandle NewHandle(const std::wstring& name)
    {
        const ServiceHandle h = nextHandle_++;
        handles_[h] = name;
        return h;
    }
    Service* ByHandle(ServiceHandle h)
    {
        auto it = handles_.find(h);
        if (it == handles_.end() || it->second.empty()) return nullptr;
        auto s = services.find(it->second);
        return s == services.end() ? nullptr : &s->second;
    }
    std::map<ServiceHandle, std::wstring> handles_;  // "" = the manager
    ServiceHandle nextHandle_ = 0x900;
};

class FakeSystemInfo : public ISystemInfo {
public:
    bool x64 = true;
    bool IsX64Windows() override { return x64; }
};
