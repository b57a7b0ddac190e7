// An in-memory Windows Installer for unit tests: packages made of tables, embedded transforms, installed
// products with their properties and feature states, handles that must all be closed, injectable failures.
//
// Building a package:
//     FakeMsi msi;
//     FakeMsi::Package& p = msi.AddPackage(L"C:\\p.msi");
//     p.tables[L"Upgrade"] = FakeMsi::Table{
//         {{L"UpgradeCode", L"s38"}, {L"VersionMin", L"S20"}, {L"Attributes", L"i4"}},   // name and type text
//         {{L"{CODE}", L"6.6.0", 256}, {L"{CODE}", FakeMsi::Null(), 0}}};               // rows of cells
//     p.transforms[L"1031"].Change(L"Feature", L"FeatureFax", L"Title", L"Faxdrucker");  // applied as ":1031"
// Installed products, in the order MsiEnumRelatedProducts lists them:
//     msi.AddProduct(L"{PRODUCT}", L"{CODE}", L"6.6.2100").featureStates[L"FeatureFax"] = 3;
// After the code under test ran:
//     EXPECT_EQ(msi.HandleProblems(), "");   // every handle closed once, no closed or unknown handle used
//
// Queries understood: "SELECT * FROM T" and "SELECT a,b,... FROM T [ORDER BY c,...]". ORDER BY sorts
// integers numerically and strings ordinally (null first, stable). Windows Installer sorts a string column by
// its string-pool index instead, so tests should not rely on the order of equal-sort-key rows.
// Column types follow the first letter of their type text as Windows Installer reports them:
// s/S/l/L string, i/I integer, v/V stream; the type text is given back unchanged by ViewGetColumnInfo.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/MsiApi.h"

class FakeMsi : public IMsiApi {
public:
    static constexpr int32_t kNullInteger = INT32_MIN;  // MSI_NULL_INTEGER
    static constexpr uint32_t kInvalidHandle = 6;        // ERROR_INVALID_HANDLE
    static constexpr uint32_t kOpenFailed = 110;         // ERROR_OPEN_FAILED
    static constexpr uint32_t kBadQuery = 1615;          // ERROR_BAD_QUERY_SYNTAX
    static constexpr uint32_t kUnknownProduct = 1605;    // ERROR_UNKNOWN_PRODUCT
    static constexpr uint32_t kUnknownProperty = 1608;   // ERROR_UNKNOWN_PROPERTY
    static constexpr uint32_t kTransformFailed = 1624;   // ERROR_INSTALL_TRANSFORM_FAILURE
    static constexpr uint32_t kFunctionFailed = 1627;    // ERROR_FUNCTION_FAILED
    static constexpr int32_t kStateUnknown = -1;         // INSTALLSTATE_UNKNOWN

    // One field: a text, an integer or null (an empty cell).
    struct Cell {
        enum Kind { Null, Text, Integer } kind = Null;
        std::wstring text;
        int32_t number = 0;

        Cell() = default;
        Cell(const wchar_t* t) : kind(Text), text(t) {}
        Cell(const std::wstring& t) : kind(Text), text(t) {}
        Cell(int n) : kind(Integer), number(n) {}

        // The text MsiRecordGetString gives: integers in decimal, null as empty.
        std::wstring AsText() const { return kind == Integer ? std::to_wstring(number) : text; }
        // The value MsiRecordGetInteger gives: a text only when it is a whole decimal number.
        int32_t AsInteger() const
        {
            if (kind == Integer) return number;
            if (kind == Null || text.empty()) return kNullInteger;
            size_t i = text[0] == L'-' ? 1 : 0;
            if (i == text.size()) return kNullInteger;
            int64_t value = 0;
            for (; i < text.size(); ++i) {
                if (text[i] < L'0' || text[i] > L'9') return kNullInteger;
                value = value * 10 + (text[i] - L'0');
                if (value > INT32_MAX) return kNullInteger;
            }
            return static_cast<int32_t>(text[0] == L'-' ? -value : value);
        }
    };
    static Cell Null() { return Cell(); }

    struct Column {
        std::wstring name;
        std::wstring type;  // e.g. "s38", "S72", "L64", "I2", "i4", "v0"
    };

    struct Table {
        std::vector<Column> columns;
        std::vector<std::vector<Cell>> rows;
    };

    // Changes of an embedded transform: table -> value of the row's first column -> column -> new value.
    // A change of a row or table the database does not have is ignored, as a transform's is.
    struct Transform {
        std::map<std::wstring, std::map<std::wstring, std::map<std::wstring, Cell>>> changes;
        Transform& Change(const std::wstring& table, const std::wstring& key, const std::wstring& column,
                          const Cell& value)
        {
            changes[table][key][column] = value;
            return *this;
        }
    };

    struct Package {
        std::map<std::wstring, Table> tables;
        std::map<std::wstring, Transform> transforms;  // by name without the ':' ("1031")
    };

    struct Product {
        std::wstring productCode;
        std::wstring upgradeCode;
        std::map<std::wstring, std::wstring> info;          // MsiGetProductInfo properties; missing -> 1608
        std::map<std::wstring, int32_t> featureStates;      // missing -> INSTALLSTATE_UNKNOWN
    };

    // Operations that can be told to fail.
    enum class Op {
        OpenDatabase, ApplyTransform, OpenView, ViewExecute, ViewFetch, ViewGetColumnInfo, RecordGetString,
        EnumRelatedProducts, GetProductInfo
    };

    std::map<std::wstring, Package> packages;  // by path, exactly as passed to OpenDatabase
    std::vector<Product> products;             // in enumeration order
    // The calls made, one text each: "OpenDatabase(path)", "ApplyTransform(:1031)", "OpenView(query)",
    // "EnumRelatedProducts(code, index)", "GetProductInfo(code, property)", "QueryFeatureState(code, feature)".
    // Handle, view and record operations are not listed.
    std::vector<std::wstring> calls;
    // Successful ViewClose calls (msi.dll does not require one before MsiCloseHandle; callers may still owe one).
    int viewsClosed = 0;

    Package& AddPackage(const std::wstring& path) { return packages[path]; }

    // An installed product with the usual product information.
    Product& AddProduct(const std::wstring& productCode, const std::wstring& upgradeCode, const std::wstring& version,
                        const std::wstring& name = L"KELVARO VOV Client for Windows",
                        const std::wstring& language = L"1033")
    {
        Product p;
        p.productCode = productCode;
        p.upgradeCode = upgradeCode;
        p.info[L"VersionString"] = version;
        p.info[L"InstalledProductName"] = name;
        p.info[L"Language"] = language;
        products.push_back(p);
        return products.back();
    }

    // From now on the operation fails with code after `succeedFirst` more successful calls.
    // For GetProductInfo a property name restricts the failure to that property.
    void Fail(Op op, uint32_t code = kFunctionFailed, int succeedFirst = 0, const std::wstring& property = L"")
    {
        failures_[op] = Failure{code, succeedFirst, property};
    }
    void StopFailing(Op op) { failures_.erase(op); }

    // Handles given out and not closed yet.
    size_t OpenHandleCount() const { return handles_.size(); }

    // Empty when every handle given out was closed exactly once and no closed or unknown handle was used;
    // otherwise one line per problem, e.g. "not closed: view on SELECT * FROM Upgrade".
    std::string HandleProblems() const
    {
        std::string out;
        for (const auto& [handle, object] : handles_) out += "not closed: " + Narrow(object.Describe()) + "\n";
        for (const std::string& misuse : misuses_) out += misuse + "\n";
        return out;
    }

    // ---- IMsiApi ----

    uint32_t OpenDatabase(const std::wstring& path, MsiHandle& database) override
    {
        calls.push_back(L"OpenDatabase(" + path + L")");
        database = 0;
        if (uint32_t code = Failing(Op::OpenDatabase)) return code;
        auto it = packages.find(path);
        if (it == packages.end()) return kOpenFailed;
        Object object;
        object.kind = Object::Database;
        object.label = path;
        object.tables = it->second.tables;
        object.transforms = it->second.transforms;
        database = Give(object);
        return kMsiSuccess;
    }

    uint32_t ApplyTransform(MsiHandle database, const std::wstring& transform) override
    {
        calls.push_back(L"ApplyTransform(" + transform + L")");
        Object* db = Use(database, Object::Database, "ApplyTransform");
        if (!db) return kInvalidHandle;
        if (uint32_t code = Failing(Op::ApplyTransform)) return code;
        if (transform.empty() || transform[0] != L':') return kTransformFailed;
        auto it = db->transforms.find(transform.substr(1));
        if (it == db->transforms.end()) return kTransformFailed;
        for (const auto& [tableName, rows] : it->second.changes) {
            auto table = db->tables.find(tableName);
            if (table == db->tables.end() || table->second.columns.empty()) continue;
            for (auto& row : table->second.rows) {
                auto change = rows.find(row.empty() ? std::wstring() : row[0].AsText());
                if (change == rows.end()) continue;
                for (const auto& [column, value] : change->second) {
                    const int index = ColumnIndex(table->second, column);
                    if (index >= 0 && static_cast<size_t>(index) < row.size()) row[index] = value;
                }
            }
        }
        return kMsiSuccess;
    }

    uint32_t OpenView(MsiHandle database, const std::wstring& query, MsiHandle& view) override
    {
        calls.push_back(L"OpenView(" + query + L")");
        view = 0;
        Object* db = Use(database, Object::Database, "OpenView");
        if (!db) return kInvalidHandle;
        if (uint32_t code = Failing(Op::OpenView)) return code;
        Object object;
        object.kind = Object::View;
        object.label = query;
        if (!RunQuery(*db, query, object)) return kBadQuery;
        view = Give(object);
        return kMsiSuccess;
    }

    uint32_t ViewExecute(MsiHandle view) override
    {
        Object* v = Use(view, Object::View, "ViewExecute");
        if (!v) return kInvalidHandle;
        if (uint32_t code = Failing(Op::ViewExecute)) return code;
        v->executed = true;
        v->next = 0;
        return kMsiSuccess;
    }

    uint32_t ViewFetch(MsiHandle view, MsiHandle& record) override
    {
        record = 0;
        Object* v = Use(view, Object::View, "ViewFetch");
        if (!v) return kInvalidHandle;
        if (!v->executed) return kFunctionFailed;
        if (v->next >= v->rows.size()) return kMsiNoMoreItems;
        if (uint32_t code = Failing(Op::ViewFetch)) return code;
        Object object;
        object.kind = Object::Record;
        object.label = L"row " + std::to_wstring(v->next + 1) + L" of " + v->label;
        object.fields = v->rows[v->next++];
        record = Give(object);
        return kMsiSuccess;
    }

    uint32_t ViewGetColumnInfo(MsiHandle view, int kind, MsiHandle& record) override
    {
        record = 0;
        Object* v = Use(view, Object::View, "ViewGetColumnInfo");
        if (!v) return kInvalidHandle;
        if (kind != 0 && kind != 1) return 87;  // ERROR_INVALID_PARAMETER
        if (uint32_t code = Failing(Op::ViewGetColumnInfo)) return code;
        Object object;
        object.kind = Object::Record;
        object.label = std::wstring(kind == 0 ? L"column names" : L"column types") + L" of " + v->label;
        for (const Column& c : v->columns) object.fields.push_back(Cell(kind == 0 ? c.name : c.type));
        record = Give(object);
        return kMsiSuccess;
    }

    uint32_t ViewClose(MsiHandle view) override
    {
        Object* v = Use(view, Object::View, "ViewClose");
        if (!v) return kInvalidHandle;
        if (!v->executed) return kFunctionFailed;
        v->executed = false;
        ++viewsClosed;
        return kMsiSuccess;
    }

    uint32_t CloseHandle(MsiHandle handle) override
    {
        if (handle == 0) return kMsiSuccess;  // as MsiCloseHandle(0)
        auto it = handles_.find(handle);
        if (it == handles_.end()) {
            misuses_.push_back("CloseHandle of a closed or unknown handle " + std::to_string(handle));
            return kInvalidHandle;
        }
        handles_.erase(it);
        return kMsiSuccess;
    }

    uint32_t RecordFieldCount(MsiHandle record) override
    {
        Object* r = Use(record, Object::Record, "RecordFieldCount");
        return r ? static_cast<uint32_t>(r->fields.size()) : UINT32_MAX;  // msi.dll answers -1 for a bad handle
    }

    uint32_t RecordGetString(MsiHandle record, uint32_t field, uint32_t bufferChars, std::wstring& value) override
    {
        value.clear();
        Object* r = Use(record, Object::Record, "RecordGetString");
        if (!r) return kInvalidHandle;
        if (uint32_t code = Failing(Op::RecordGetString)) return code;
        if (field == 0 || field > r->fields.size()) return kMsiSuccess;  // msi.dll: empty
        const std::wstring text = r->fields[field - 1].AsText();
        if (text.size() >= bufferChars) return kMsiMoreData;  // the terminator does not fit
        value = text;
        return kMsiSuccess;
    }

    int32_t RecordGetInteger(MsiHandle record, uint32_t field) override
    {
        Object* r = Use(record, Object::Record, "RecordGetInteger");
        if (!r || field == 0 || field > r->fields.size()) return kNullInteger;
        return r->fields[field - 1].AsInteger();
    }

    uint32_t EnumRelatedProducts(const std::wstring& upgradeCode, uint32_t index, std::wstring& productCode) override
    {
        calls.push_back(L"EnumRelatedProducts(" + upgradeCode + L", " + std::to_wstring(index) + L")");
        productCode.clear();
        if (uint32_t code = Failing(Op::EnumRelatedProducts)) return code;
        uint32_t seen = 0;
        for (const Product& p : products) {
            if (p.upgradeCode != upgradeCode) continue;
            if (seen++ == index) {
                productCode = p.productCode;
                return kMsiSuccess;
            }
        }
        return kMsiNoMoreItems;
    }

    uint32_t GetProductInfo(const std::wstring& productCode, const std::wstring& property, uint32_t bufferChars,
                            std::wstring& value) override
    {
        calls.push_back(L"GetProductInfo(" + productCode + L", " + property + L")");
        value.clear();
        if (uint32_t code = Failing(Op::GetProductInfo, property)) return code;
        const Product* p = FindProduct(productCode);
        if (!p) return kUnknownProduct;
        auto it = p->info.find(property);
        if (it == p->info.end()) return kUnknownProperty;
        if (it->second.size() >= bufferChars) return kMsiMoreData;
        value = it->second;
        return kMsiSuccess;
    }

    int32_t QueryFeatureState(const std::wstring& productCode, const std::wstring& feature) override
    {
        calls.push_back(L"QueryFeatureState(" + productCode + L", " + feature + L")");
        const Product* p = FindProduct(productCode);
        if (!p) return kStateUnknown;
        auto it = p->featureStates.find(feature);
        return it == p->featureStates.end() ? kStateUnknown : it->second;
    }

private:
    struct Object {
        enum Kind { Database, View, Record } kind = Record;
        std::wstring label;
        // database
        std::map<std::wstring, Table> tables;
        std::map<std::wstring, Transform> transforms;
        // view
        std::vector<Column> columns;
        std::vector<std::vector<Cell>> rows;
        bool executed = false;
        size_t next = 0;
        // record
        std::vector<Cell> fields;

        std::wstring Describe() const
        {
            static const wchar_t* const names[] = {L"database ", L"view on ", L"record: "};
            return names[kind] + label;
        }
    };

    struct Failure {
        uint32_t code = 0;
        int succeedFirst = 0;
        std::wstring property;
    };

    static std::string Narrow(const std::wstring& text)
    {
        std::string out;
        for (wchar_t c : text) out.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }

    uint32_t Failing(Op op, const std::wstring& property = L"")
    {
        auto it = failures_.find(op);
        if (it == failures_.end()) return 0;
        Failure& f = it->second;
        if (!f.property.empty() && f.property != property) return 0;
        if (f.succeedFirst > 0) {
            --f.succeedFirst;
            return 0;
        }
        return f.code;
    }

    MsiHandle Give(const Object& object)
    {
        const MsiHandle handle = nextHandle_++;
        handles_[handle] = object;
        return handle;
    }

    Object* Use(MsiHandle handle, Object::Kind kind, const char* operation)
    {
        auto it = handles_.find(handle);
        if (it == handles_.end() || it->second.kind != kind) {
            misuses_.push_back(std::string(operation) + " on a closed, unknown or wrong handle " +
                               std::to_string(handle));
            return nullptr;
        }
        return &it->second;
    }

    const Product* FindProduct(const std::wstring& productCode) const
    {
        for (const Product& p : products) {
            if (p.productCode == productCode) return &p;
        }
        return nullptr;
    }

    static int ColumnIndex(const Table& table, const std::wstring& name)
    {
        for (size_t i = 0; i < table.columns.size(); ++i) {
            if (table.columns[i].name == name) return static_cast<int>(i);
        }
        return -1;
    }

    static std::vector<std::wstring> Words(const std::wstring& query)
    {
        std::vector<std::wstring> words;
        std::wstring word;
        for (wchar_t c : query) {
            if (c == L' ' || c == L',' || c == L'\t' || c == L'\r' || c == L'\n') {
                if (!word.empty()) words.push_back(word);
                word.clear();
                if (c == L',') words.push_back(L",");
            } else {
                word.push_back(c);
            }
        }
        if (!word.empty()) words.push_back(word);
        return words;
    }

    // Parses "SELECT <* | a,b,...> FROM <table> [ORDER BY c,...]" and fills the view's columns and rows.
    static bool RunQuery(const Object& db, const std::wstring& query, Object& view)
    {
        const std::vector<std::wstring> w = Words(query);
        size_t i = 0;
        auto take = [&](const wchar_t* keyword) {
            if (i < w.size() && w[i] == keyword) return ++i, true;
            return false;
        };
        auto list = [&](std::vector<std::wstring>& names) {
            do {
                if (i >= w.size() || w[i] == L",") return false;
                names.push_back(w[i++]);
            } while (take(L","));
            return true;
        };
        std::vector<std::wstring> selected, order;
        if (!take(L"SELECT")) return false;
        const bool all = take(L"*");
        if (!all && !list(selected)) return false;
        if (!take(L"FROM") || i >= w.size()) return false;
        auto table = db.tables.find(w[i++]);
        if (table == db.tables.end()) return false;
        if (take(L"ORDER")) {
            if (!take(L"BY") || !list(order)) return false;
        }
        if (i != w.size()) return false;

        std::vector<int> indexes;
        if (all) {
            for (size_t c = 0; c < table->second.columns.size(); ++c) indexes.push_back(static_cast<int>(c));
        }
        for (const std::wstring& name : selected) indexes.push_back(ColumnIndex(table->second, name));
        std::vector<int> orderIndexes;
        for (const std::wstring& name : order) orderIndexes.push_back(ColumnIndex(table->second, name));
        if (std::count(indexes.begin(), indexes.end(), -1) || std::count(orderIndexes.begin(), orderIndexes.end(), -1))
            return false;

        std::vector<std::vector<Cell>> rows = table->second.rows;
        std::stable_sort(rows.begin(), rows.end(), [&](const std::vector<Cell>& a, const std::vector<Cell>& b) {
            for (int c : orderIndexes) {
                const int cmp = Compare(At(a, c), At(b, c));
                if (cmp != 0) return cmp < 0;
            }
            return false;
        });
        for (int c : indexes) view.columns.push_back(table->second.columns[c]);
        for (const auto& row : rows) {
            std::vector<Cell> out;
            for (int c : indexes) out.push_back(At(row, c));
            view.rows.push_back(out);
        }
        return true;
    }

    static Cell At(const std::vector<Cell>& row, int column)
    {
        return static_cast<size_t>(column) < row.size() ? row[column] : Cell();
    }

    static int Compare(const Cell& a, const Cell& b)
    {
        if (a.kind == Cell::Null || b.kind == Cell::Null) return (a.kind != Cell::Null) - (b.kind != Cell::Null);
        if (a.kind == Cell::Integer && b.kind == Cell::Integer) return (a.number > b.number) - (a.number < b.number);
        const std::wstring x = a.AsText();
        const std::wstring y = b.AsText();
        return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
    }

    std::map<MsiHandle, Object> handles_;
    std::vector<std::string> misuses_;
    std::map<Op, Failure> failures_;
    MsiHandle nextHandle_ = 1;
};
