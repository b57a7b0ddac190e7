// Parser of the expected signers of prerequisite installers: "file name=signer" pairs, where the signer is the
// subject common name of the certificate that must have signed the file of that name.
#pragma once

#include <string>
#include <vector>

struct SignerRule {
    std::string fileName;  // printable ASCII
    std::u32string signer;
};

struct SignerRules {
    std::vector<SignerRule> rules;
    std::string error;  // empty when the pairs are good
    bool Ok() const { return error.empty(); }
};

// Each pair is split at its first "="; the name must be a plain file name (as in a hash list), the signer
// non-empty UTF-8 without control characters. A name given twice (ignoring ASCII case) is an error. No pairs
// at all is fine: then no file has an expected signer.
SignerRules ParseSignerRules(const std::vector<std::string>& pairs);

// Strict UTF-8 (no overlong forms, no surrogates, at most U+10FFFF); false on anything else.
bool DecodeUtf8(const std::string& text, std::u32string& decoded);
