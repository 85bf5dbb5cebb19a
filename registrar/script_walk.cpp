// The interpreter: applies the root blocks of an expanded script to the
// registry, creating and writing in register mode and deleting in unregister
// mode, and takes back a root block whose registration failed.
#include <cstring>

#include "platform/conversion.h"
#include "platform/registry_key.h"
#include "platform/task_memory.h"
#include "registrar/script_parser.h"
#include "registrar/value_data.h"

namespace registrar {
namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

// Shared keys that "ForceRemove" and "Delete" never remove, at any depth.
const char* const kProtectedKeyNames[] = {
    "AppID", "CLSID",    "Component Categories", "FileType", "Interface", "Hardware",
    "Mime",  "SAM",      "SECURITY",             "SYSTEM",   "Software",  "TypeLib",
};

bool IsKeyword(const char* token, const char* keyword) { return lstrcmpiA(token, keyword) == 0; }

bool OpensBlock(const char* token) { return std::strcmp(token, "{") == 0; }

bool ClosesBlock(const char* token) { return token[0] == '}'; }

// A key clause names exactly one level: not empty (an empty name would address
// the enclosing key itself), without a backslash, and short enough to be
// remembered whole for its deletion. None when the name is acceptable.
StopReason KeyNameFault(const char* name) {
    if (name[0] == '\0') return StopReason::EmptyKeyName;
    for (const char* c = name; *c != '\0'; c = CharNextA(c)) {
        if (*c == '\\') return StopReason::KeyNameWithBackslash;
    }
    if (std::strlen(name) >= static_cast<size_t>(ScriptParser::kNameCapacity)) return StopReason::KeyNameTooLong;
    return StopReason::None;
}

class NestingLevel {
public:
    explicit NestingLevel(int& depth) : depth_(depth) { ++depth_; }
    ~NestingLevel() { --depth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

private:
    int& depth_;
};

}  // namespace

struct ScriptParser::ClauseState {
    explicit ClauseState(bool recoveringOnEntry)
        : recovering(recoveringOnEntry), enteredRecovering(recoveringOnEntry) {}
    platform::RegistryKey current;  // the key of the latest key clause of this level
    bool recovering;
    const bool enteredRecovering;
};

HRESULT ScriptParser::RegistryRefused(LONG code, StopReason reason, const char* at) {
    return Refuse(platform::HresultFromWin32(code), reason, at, code);
}

HRESULT ScriptParser::RunScript(const char* text, bool doRegister) {
    char* expandedText = nullptr;
    HRESULT status = ExpandVariables(text, &expandedText);
    if (FAILED(status)) return status;
    const platform::TaskMemory<char> expanded(expandedText);

    cursor_ = expanded.Get();
    base_ = expanded.Get();
    Token token;
    status = S_OK;
    while (*cursor_ != '\0') {
        status = ReadToken(token);
        if (FAILED(status)) break;
        const HKEY root = LookupRootKey(token);
        if (root == nullptr) {
            status = Refuse(DISP_E_EXCEPTION, StopReason::UnknownRootKey, tokenStart_);
            break;
        }
        status = ReadToken(token);
        if (FAILED(status)) break;
        if (token[0] != '{') {
            status = Refuse(DISP_E_EXCEPTION, StopReason::RootWithoutBrace, tokenStart_);
            break;
        }
        if (doRegister) {
            const char* blockStart = cursor_;
            status = WalkBlock(token, root, true, false);
            if (FAILED(status)) {
                // Take back what this root block registered before it failed.
                cursor_ = blockStart;
                WalkBlock(token, root, false, false);
                break;
            }
        } else {
            status = WalkBlock(token, root, false, false);
            if (FAILED(status)) break;
        }
        SkipBlanks();
    }
    cursor_ = nullptr;  // the expanded text is gone with this call
    base_ = nullptr;
    return status;
}

HRESULT ScriptParser::WalkBlock(Token& token, HKEY parentKey, bool doRegister, bool recovering) {
    const char* const openedAt = tokenStart_;  // the token that opened this block
    if (depth_ >= kMaxNesting) return Refuse(DISP_E_EXCEPTION, StopReason::NestingTooDeep, openedAt);
    const NestingLevel level(depth_);

    ClauseState state(recovering);
    HRESULT status = ReadToken(token);
    if (SUCCEEDED(status) && !ClosesBlock(token)) {
        do {
            status = WalkClause(token, parentKey, doRegister, state);
        } while (SUCCEEDED(status) && !ClosesBlock(token));
    }
    // A text that ends inside blocks is reported at the innermost one.
    if (FAILED(status) && stop_.reason == StopReason::EndOfText && !stop_.inBlock && base_ != nullptr &&
        openedAt != nullptr && openedAt >= base_) {
        stop_.inBlock = true;
        stop_.blockOffset = static_cast<std::size_t>(openedAt - base_);
    }
    return status;
}

// Entered with the first token of a clause; on success the token is the one
// that follows the clause: the next clause or the end of the block.
HRESULT ScriptParser::WalkClause(Token& token, HKEY parentKey, bool doRegister, ClauseState& state) {
    bool deleteFlag = true;
    HRESULT status;
    if (IsKeyword(token, "ForceRemove") || IsKeyword(token, "Delete")) {
        const bool deleteOnly = IsKeyword(token, "Delete");
        if (FAILED(status = ReadToken(token))) return status;
        // In unregister mode the name is walked as if the keyword were absent.
        if (doRegister) {
            if (const StopReason fault = KeyNameFault(token); fault != StopReason::None)
                return Refuse(DISP_E_EXCEPTION, fault, tokenStart_);
            // Absent, protected or undeletable keys are simply left.
            if (IsRemovableKeyName(token)) DeleteKeyTree(parentKey, token);
            if (deleteOnly) {
                if (FAILED(status = ReadToken(token))) return status;
                if (FAILED(status = SkipValueClause(token))) return status;
                return SkipBlock(token);
            }
        }
    }
    if (IsKeyword(token, "NoRemove")) {
        deleteFlag = false;
        if (FAILED(status = ReadToken(token))) return status;
    }
    if (IsKeyword(token, "Val")) return WalkValueClause(token, parentKey, doRegister, deleteFlag, state);
    return WalkKeyClause(token, parentKey, doRegister, deleteFlag, state);
}

// A block behind a "Delete" clause in register mode describes the inside of a
// key that has just been removed: it is read over and nothing is created.
HRESULT ScriptParser::SkipBlock(Token& token) {
    if (!OpensBlock(token)) return S_OK;
    const HRESULT status = WalkBlock(token, nullptr, false, true);
    if (FAILED(status)) return status;
    return ReadToken(token);
}

HRESULT ScriptParser::WalkValueClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                                      ClauseState& state) {
    HRESULT status = ReadToken(token);
    if (FAILED(status)) return status;
    const char* const nameAt = tokenStart_;
    if (std::strlen(token) >= static_cast<size_t>(kNameCapacity))
        return Refuse(DISP_E_EXCEPTION, StopReason::ValueNameTooLong, nameAt);
    char valueName[kNameCapacity];
    std::memcpy(valueName, token, std::strlen(token) + 1);

    if (FAILED(status = ReadToken(token))) return status;
    if (token[0] != '=') return Refuse(DISP_E_EXCEPTION, StopReason::ValueWithoutAssignment, tokenStart_);

    if (doRegister) {
        if (FAILED(status = WriteValue(parentKey, valueName, token))) return status;
        // A value has no subkeys: a block behind it is a malformed script.
        return OpensBlock(token) ? Refuse(DISP_E_EXCEPTION, StopReason::BlockAfterValue, tokenStart_) : S_OK;
    }
    if (!state.recovering && deleteFlag) {
        HKEY reopened = nullptr;
        LONG code = RegOpenKeyExA(parentKey, nullptr, 0, KEY_WRITE, &reopened);
        if (code != ERROR_SUCCESS) return RegistryRefused(code, StopReason::ReopenKeyFailed, nameAt);
        const platform::RegistryKey key(reopened);
        code = RegDeleteValueA(reopened, valueName);
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
            return RegistryRefused(code, StopReason::DeleteValueFailed, nameAt);
    }
    return SkipValueClause(token);
}

HRESULT ScriptParser::WalkKeyClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                                    ClauseState& state) {
    const char* const nameAt = tokenStart_;
    if (const StopReason fault = KeyNameFault(token); fault != StopReason::None)
        return Refuse(DISP_E_EXCEPTION, fault, nameAt);
    HRESULT status;

    if (doRegister) {
        // A key that can't be opened for writing is still walked: writing into
        // it then fails with the registry's own code.
        HKEY key = nullptr;
        LONG code = RegOpenKeyExA(parentKey, token, 0, kReadWrite, &key);
        if (code != ERROR_SUCCESS) code = RegOpenKeyExA(parentKey, token, 0, KEY_READ, &key);
        if (code != ERROR_SUCCESS) {
            DWORD disposition = 0;
            code = RegCreateKeyExA(parentKey, token, 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite,
                                   nullptr, &key, &disposition);
            if (code != ERROR_SUCCESS) return RegistryRefused(code, StopReason::CreateKeyFailed, nameAt);
        }
        state.current.Reset(key);

        if (FAILED(status = ReadToken(token))) return status;
        if (token[0] == '=' && FAILED(status = WriteValue(state.current.Get(), nullptr, token))) return status;
        if (OpensBlock(token)) {
            if (FAILED(status = WalkBlock(token, state.current.Get(), true, false))) return status;
            if (FAILED(status = ReadToken(token))) return status;
        }
        return S_OK;
    }

    LONG openResult = ERROR_FILE_NOT_FOUND;
    if (!state.recovering) {
        HKEY key = nullptr;
        openResult = RegOpenKeyExA(parentKey, token, 0, KEY_READ, &key);
        if (openResult == ERROR_SUCCESS) state.current.Reset(key);
    }
    // The block of a key that is absent or can't be opened is only read.
    if (openResult != ERROR_SUCCESS) state.recovering = true;
    char name[kNameCapacity];
    lstrcpynA(name, token, kNameCapacity);

    if (FAILED(status = ReadToken(token))) return status;
    if (FAILED(status = SkipValueClause(token))) return status;  // the default value goes with the key
    if (OpensBlock(token)) {
        // A recovering walk touches nothing, so it can only fail on the text; its
        // failure is not passed over, or the rest of the block would be read out
        // of place and applied to the wrong keys.
        if (FAILED(status = WalkBlock(token, state.current.Get(), false, state.recovering))) return status;
        if (FAILED(status = ReadToken(token))) return status;
    }
    state.recovering = state.enteredRecovering;

    if (openResult == ERROR_FILE_NOT_FOUND) return S_OK;
    if (openResult != ERROR_SUCCESS) return RegistryRefused(openResult, StopReason::OpenKeyFailed, nameAt);
    LONG code = state.current.Close();
    if (code != ERROR_SUCCESS) return RegistryRefused(code, StopReason::CloseKeyFailed, nameAt);
    if (deleteFlag) {
        code = RegDeleteKeyA(parentKey, name);
        if (code != ERROR_SUCCESS) return RegistryRefused(code, StopReason::DeleteKeyFailed, nameAt);
    }
    return S_OK;
}

HRESULT ScriptParser::WriteValue(HKEY key, const char* valueName, Token& token) {
    Token text;
    HRESULT status = ReadToken(text);  // the type letter
    if (FAILED(status)) return status;
    DWORD type = REG_NONE;
    if (!LookupValueType(text, &type)) return Refuse(DISP_E_EXCEPTION, StopReason::UnknownValueType, tokenStart_);
    if (FAILED(status = ReadToken(text))) return status;  // the value text

    ValueData data;
    if (FAILED(status = FormValueData(type, text, data))) {
        const StopReason reason = status == E_FAIL          ? StopReason::OddBinaryDigits
                                  : status == E_OUTOFMEMORY ? StopReason::OutOfMemory
                                                            : StopReason::ValueTooLong;
        return Refuse(status, reason, tokenStart_);
    }
    const LONG code = RegSetValueExA(key, valueName, 0, data.type, data.bytes, data.size);
    if (code != ERROR_SUCCESS) return RegistryRefused(code, StopReason::WriteValueFailed, tokenStart_);
    return ReadToken(token);
}

LONG ScriptParser::DeleteKeyTree(HKEY parentKey, const char* name) {
    HKEY opened = nullptr;
    LONG code = RegOpenKeyExA(parentKey, name, 0, kReadWrite, &opened);
    if (code != ERROR_SUCCESS) return code;
    platform::RegistryKey key(opened);
    for (;;) {
        // Index 0 every time: each pass removes the subkey it found.
        char subkey[256];
        DWORD size = sizeof(subkey);
        FILETIME written{};
        if (RegEnumKeyExA(opened, 0, subkey, &size, nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
            break;
        code = DeleteKeyTree(opened, subkey);
        if (code != ERROR_SUCCESS) return code;
    }
    key.Close();
    return RegDeleteKeyA(parentKey, name);
}

bool ScriptParser::IsRemovableKeyName(const char* name) {
    for (const char* protectedName : kProtectedKeyNames) {
        if (lstrcmpiA(name, protectedName) == 0) return false;
    }
    return true;
}

}  // namespace registrar
