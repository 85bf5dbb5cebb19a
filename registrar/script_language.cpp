// The text form of a registry script: variable expansion, tokens, value types
// and root key names.
#include <cstring>
#include <string>

#include "registrar/expansion_buffer.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "registrar/text_conversion.h"

namespace registrar {
namespace {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// Each root key is known by a short and a long name.
struct NamedRoot { const char* shortName; const char* longName; HKEY key; };

const NamedRoot kRootKeys[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKPD", "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKDD", "HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct ValueType { const char* letter; DWORD type; };

const ValueType kValueTypes[] = {{"S", REG_SZ}, {"M", REG_MULTI_SZ}, {"D", REG_DWORD}, {"B", REG_BINARY}};

}  // namespace

HRESULT ScriptParser::Refuse(HRESULT status, StopReason reason, const char* at, LONG code) {
    if (stop_.reason != StopReason::None) return status;
    stop_.reason = reason;
    stop_.status = status;
    stop_.code = code;
    stop_.duringExpansion = expanding_;
    stop_.offset = base_ != nullptr && at != nullptr && at >= base_ ? static_cast<std::size_t>(at - base_) : 0;
    return status;
}

HRESULT ScriptParser::ExpandVariables(const char* text, char** expanded) {
    stop_ = ScriptStop();
    if (text == nullptr || expanded == nullptr) return E_POINTER;
    *expanded = nullptr;
    base_ = text;
    expanding_ = true;
    const HRESULT status = ExpandText(text, expanded);
    expanding_ = false;
    return status;
}

HRESULT ScriptParser::ExpandText(const char* text, char** expanded) {
    const size_t length = std::strlen(text);
    ExpansionBuffer buffer;
    if (length > 0x3FFFFFFF || !buffer.Create(static_cast<std::int32_t>(length)))
        return Refuse(E_OUTOFMEMORY, StopReason::OutOfMemory, text);

    cursor_ = text;
    while (*cursor_ != '\0') {
        if (*cursor_ == '%') {
            cursor_ = CharNextA(cursor_);
            if (*cursor_ == '%') {
                if (!buffer.Append("%", 1)) return Refuse(E_OUTOFMEMORY, StopReason::OutOfMemory, cursor_);
                cursor_ = CharNextA(cursor_);
                continue;
            }
            const HRESULT status = AppendVariable(buffer);
            if (FAILED(status)) return status;
            continue;
        }
        const char* next = CharNextA(cursor_);
        if (!buffer.Append(cursor_, static_cast<std::int32_t>(next - cursor_)))
            return Refuse(E_OUTOFMEMORY, StopReason::OutOfMemory, cursor_);
        cursor_ = next;
    }
    *expanded = buffer.Release();
    return S_OK;
}

// The cursor stands on the first character of a variable name; on success it
// stands behind the closing '%'.
ScriptParser::VariableReference ScriptParser::ReadReference(const char* nameStart) const {
    VariableReference reference;
    const char* nameEnd = nameStart;
    while (*nameEnd != '%') {
        if (*nameEnd == '\0') {
            reference.fault = StopReason::UnclosedVariable;
            return reference;
        }
        nameEnd = CharNextA(nameEnd);
    }
    reference.nameEnd = nameEnd;
    const size_t nameLength = static_cast<size_t>(nameEnd - nameStart);
    if (nameLength >= kVariableNameCapacity) {
        reference.fault = StopReason::VariableNameTooLong;
        return reference;
    }
    char name[kVariableNameCapacity];
    std::memcpy(name, nameStart, nameLength);
    name[nameLength] = '\0';
    reference.value = registrar_.FindVariable(name);
    if (reference.value == nullptr) reference.fault = StopReason::UnknownVariable;
    return reference;
}

HRESULT ScriptParser::AppendVariable(ExpansionBuffer& buffer) {
    const char* percent = cursor_ - 1;  // the '%' is a single byte
    const VariableReference reference = ReadReference(cursor_);
    // A name too long is refused as such; an unclosed or unknown one as a malformed script.
    if (reference.fault != StopReason::None)
        return Refuse(reference.fault == StopReason::VariableNameTooLong ? E_FAIL : DISP_E_EXCEPTION,
                      reference.fault, percent);
    std::string narrow;
    if (!WideToNarrow(reference.value, narrow) || narrow.size() > 0x3FFFFFFF ||
        !buffer.Append(narrow.data(), static_cast<std::int32_t>(narrow.size())))
        return Refuse(E_OUTOFMEMORY, StopReason::OutOfMemory, percent);
    cursor_ = CharNextA(reference.nameEnd);
    return S_OK;
}

void ScriptParser::SkipBlanks() {
    while (IsBlank(*cursor_)) cursor_ = CharNextA(cursor_);
}

HRESULT ScriptParser::ReadToken(Token& token) {
    token[0] = '\0';
    SkipBlanks();
    tokenStart_ = cursor_;
    if (*cursor_ == '\0') return Refuse(DISP_E_EXCEPTION, StopReason::EndOfText, cursor_);

    int used = 0;
    // Copies the character at the cursor, one or two bytes, while the token has room.
    auto copyCharacter = [&]() {
        const char* next = CharNextA(cursor_);
        const int size = static_cast<int>(next - cursor_);
        if (used >= kMaxTokenBytes || used + size >= kTokenCapacity) return false;
        std::memcpy(token + used, cursor_, static_cast<size_t>(size));
        used += size;
        cursor_ = next;
        return true;
    };

    bool complete = true;
    if (*cursor_ == '\'') {
        cursor_ = CharNextA(cursor_);
        complete = false;
        while (*cursor_ != '\0') {
            if (*cursor_ == '\'') {
                const char* after = CharNextA(cursor_);
                if (*after != '\'') {
                    complete = true;
                    break;
                }
                cursor_ = after;  // a doubled quote stands for one
            }
            if (!copyCharacter()) {
                token[used] = '\0';
                return Refuse(DISP_E_EXCEPTION, StopReason::TokenTooLong, tokenStart_);
            }
        }
        if (complete) cursor_ = CharNextA(cursor_);  // past the closing quote
    } else {
        while (*cursor_ != '\0' && !IsBlank(*cursor_)) {
            if (!copyCharacter()) {
                token[used] = '\0';
                return Refuse(DISP_E_EXCEPTION, StopReason::TokenTooLong, tokenStart_);
            }
        }
    }
    token[used] = '\0';
    return complete ? S_OK : Refuse(DISP_E_EXCEPTION, StopReason::UnclosedQuote, tokenStart_);
}

HRESULT ScriptParser::SkipValueClause(Token& token) {
    if (token[0] != '=') return S_OK;
    Token scratch;
    HRESULT status = ReadToken(scratch);  // the type letter
    if (SUCCEEDED(status)) status = ReadToken(scratch);  // the value text
    if (SUCCEEDED(status)) status = ReadToken(token);
    return status;
}

bool ScriptParser::LookupValueType(const char* letter, DWORD* type) {
    for (const ValueType& entry : kValueTypes) {
        if (lstrcmpiA(letter, entry.letter) == 0) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

int ScriptParser::HexDigitValue(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    return 0;
}

HKEY ScriptParser::LookupRootKey(const char* name) {
    for (const NamedRoot& entry : kRootKeys) {
        if (lstrcmpiA(name, entry.shortName) == 0 || lstrcmpiA(name, entry.longName) == 0) return entry.key;
    }
    return nullptr;
}

}  // namespace registrar
