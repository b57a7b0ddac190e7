// Parser of the expected signers of prerequisite installers.
#include "system/SignerRules.h"

#include <set>

#include "system/HashList.h"

bool DecodeUtf8(const std::string& text, std::u32string& decoded)
{
    decoded.clear();
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        decoded.push_back(value);
        i += length;
    }
    return true;
}

SignerRules ParseSignerRules(const std::vector<std::string>& pairs)
{
    SignerRules parsed;
    SignerRules failed;
    std::set<std::string> names;
    for (const std::string& pair : pairs) {
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            failed.error = "\"" + pair + "\" is not of the form file name=signer";
            return failed;
        }
        SignerRule rule;
        rule.fileName = pair.substr(0, equals);
        const std::string problem = FileNameProblem(rule.fileName);
        if (!problem.empty()) {
            failed.error = "\"" + pair + "\": " + problem;
            return failed;
        }
        const std::string signer = pair.substr(equals + 1);
        if (signer.empty()) {
            failed.error = "\"" + pair + "\": the signer is empty";
            return failed;
        }
        if (!DecodeUtf8(signer, rule.signer)) {
            failed.error = "\"" + rule.fileName + "\": the signer is not UTF-8";
            return failed;
        }
        for (const char32_t c : rule.signer) {
            if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
                failed.error = "\"" + rule.fileName + "\": the signer holds a control character";
                return failed;
            }
        }
        if (!names.insert(FoldFileName(rule.fileName)).second) {
            failed.error = "\"" + rule.fileName + "\" has more than one expected signer";
            return failed;
        }
        parsed.rules.push_back(rule);
    }
    return parsed;
}
