// Builds a fake Windows Installer from the text of a fuzz input: tables with their column types, rows,
// installed products and failing operations.
//
//   T<TAB>table                      the table that the following C and R lines describe
//   C<TAB>name<TAB>type<TAB>...      its columns: names and type texts ("s38", "S20", "i4", "v0", anything)
//   R<TAB>cell<TAB>...               one row: "~" is a null cell, "#" and a number an integer, anything else
//                                    a text ("text*count" repeats it)
//   P<TAB>code<TAB>upgrade<TAB>version<TAB>name<TAB>language
//                                    an installed product; "~" leaves a property out
//   S<TAB>code<TAB>feature<TAB>state an installed product's feature state
//   F<TAB>operation<TAB>code<TAB>succeed first<TAB>property
//                                    makes an operation fail (after that many successful calls)
//   X<TAB>transform<TAB>table<TAB>key<TAB>column<TAB>cell
//                                    a change of an embedded transform (named without the ':')
#pragma once

#include "FuzzInput.h"
#include "support/FakeMsi.h"

namespace fuzz {

constexpr size_t kMaxCellChars = 1000;  // several times the 250-character cell buffer

inline FakeMsi::Cell MsiCell(const std::string& field)
{
    if (field == "~") return FakeMsi::Null();
    if (!field.empty() && field[0] == '#') return FakeMsi::Cell(static_cast<int>(Number(field.substr(1))));
    return FakeMsi::Cell(Expand(field, kMaxCellChars));
}

inline bool MsiOperation(const std::string& name, FakeMsi::Op& op)
{
    static const std::pair<const char*, FakeMsi::Op> kOps[] = {
        {"OpenDatabase", FakeMsi::Op::OpenDatabase}, {"ApplyTransform", FakeMsi::Op::ApplyTransform},
        {"OpenView", FakeMsi::Op::OpenView}, {"ViewExecute", FakeMsi::Op::ViewExecute},
        {"ViewFetch", FakeMsi::Op::ViewFetch}, {"ViewGetColumnInfo", FakeMsi::Op::ViewGetColumnInfo},
        {"RecordGetString", FakeMsi::Op::RecordGetString}, {"EnumRelatedProducts", FakeMsi::Op::EnumRelatedProducts},
        {"GetProductInfo", FakeMsi::Op::GetProductInfo}};
    for (const auto& [text, value] : kOps) {
        if (name == text) {
            op = value;
            return true;
        }
    }
    return false;
}

// Fills the package and the installed products from the input's lines.
inline void BuildMsi(const std::vector<std::string>& lines, FakeMsi& msi, FakeMsi::Package& package)
{
    FakeMsi::Table* table = nullptr;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = Split(line, '\t');
        const std::string& kind = f[0];
        if (kind == "T") {
            table = &package.tables[Widen(Field(f, 1))];
        } else if (kind == "C" && table) {
            for (size_t i = 1; i < f.size(); i += 2) table->columns.push_back({Widen(f[i]), Widen(Field(f, i + 1))});
        } else if (kind == "R" && table) {
            std::vector<FakeMsi::Cell> row;
            for (size_t i = 1; i < f.size(); ++i) row.push_back(MsiCell(f[i]));
            table->rows.push_back(row);
        } else if (kind == "P") {
            FakeMsi::Product& p = msi.AddProduct(Widen(Field(f, 1)), Widen(Field(f, 2)), L"");
            const char* properties[] = {"VersionString", "InstalledProductName", "Language"};
            for (size_t i = 0; i < 3; ++i) {
                const std::string value = Field(f, 3 + i);
                const std::wstring property = Widen(properties[i]);
                if (value == "~") p.info.erase(property);
                else p.info[property] = Expand(value, kMaxCellChars);
            }
        } else if (kind == "S" && !msi.products.empty()) {
            for (FakeMsi::Product& p : msi.products) {
                if (p.productCode == Widen(Field(f, 1))) p.featureStates[Widen(Field(f, 2))] = Number(Field(f, 3));
            }
        } else if (kind == "X") {
            package.transforms[Widen(Field(f, 1))].Change(Widen(Field(f, 2)), Widen(Field(f, 3)), Widen(Field(f, 4)),
                                                          MsiCell(Field(f, 5)));
        } else if (kind == "F") {
            FakeMsi::Op op;
            if (MsiOperation(Field(f, 1), op))
                msi.Fail(op, static_cast<uint32_t>(Number(Field(f, 2))), Number(Field(f, 3)) % 64,
                         Widen(Field(f, 4)));
        }
    }
}

}  // namespace fuzz
