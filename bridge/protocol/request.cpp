#include "bridge/protocol/request.h"

#include <array>
#include <optional>

#include "bridge/protocol/utf.h"

namespace bridge {
namespace {

using Json = nlohmann::json;

struct MethodInfo {
    Method method;
    std::string_view name;
    std::size_t arguments;
};
constexpr std::array<MethodInfo, 3> kMethods = {{
    {Method::IsValidControl, "isValidControl", 2},
    {Method::GetControlVersion, "getControlVersion", 1},
    {Method::GetPackageVersion, "getPackageVersion", 0},
}};

const MethodInfo& InfoOf(Method method) {
    for (const MethodInfo& info : kMethods)
        if (info.method == method) return info;
    return kMethods.back();
}

// Builds the document as the library does, but stops as soon as values nest
// deeper than a request can, so a message of a million brackets costs no more
// than a short one.
class NestingLimitedBuilder {
public:
    explicit NestingLimitedBuilder(Json& result) : builder_(result, false) {}

    bool null() { return builder_.null(); }
    bool boolean(bool value) { return builder_.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return builder_.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return builder_.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& text) {
        return builder_.number_float(value, text);
    }
    bool string(Json::string_t& value) { return builder_.string(value); }
    bool binary(Json::binary_t& value) { return builder_.binary(value); }
    bool start_object(std::size_t size) { return Enter() && builder_.start_object(size); }
    bool key(Json::string_t& value) { return builder_.key(value); }
    bool end_object() {
        --depth_;
        return builder_.end_object();
    }
    bool start_array(std::size_t size) { return Enter() && builder_.start_array(size); }
    bool end_array() {
        --depth_;
        return builder_.end_array();
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
        errorPosition_ = position;
        return false;
    }

    bool TooDeep() const { return tooDeep_; }
    std::optional<std::size_t> ErrorPosition() const { return errorPosition_; }

private:
    bool Enter() {
        if (++depth_ <= kMaxNesting) return true;
        tooDeep_ = true;
        return false;
    }

    nlohmann::detail::json_sax_dom_parser<Json> builder_;
    std::size_t depth_ = 0;
    bool tooDeep_ = false;
    std::optional<std::size_t> errorPosition_;
};

// The document of a message, or the reason it is none.
std::variant<Json, std::string> ReadDocument(std::string_view message) {
    if (message.empty()) return std::string("the message is empty");
    if (const auto bad = FirstInvalidUtf8(message))
        return "the message is not valid UTF-8 (byte " + std::to_string(*bad) + ")";
    Json document;
    NestingLimitedBuilder builder(document);
    if (Json::sax_parse(message, &builder)) return document;
    if (builder.TooDeep())
        return "the message nests deeper than " + std::to_string(kMaxNesting) + " levels";
    // The library counts from 1 the byte at which it gave up.
    const std::size_t position = builder.ErrorPosition().value_or(1);
    return "the message is not valid JSON (byte " + std::to_string(position > 0 ? position - 1 : 0) + ")";
}

Refusal Refuse(const Json& id, std::string error) { return Refusal{id, std::move(error)}; }

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// A member that must be there; null when it isn't.
const Json* Member(const Json& object, std::string_view name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

}  // namespace

std::string_view MethodName(Method method) { return InfoOf(method).name; }
std::size_t ArgumentCount(Method method) { return InfoOf(method).arguments; }

std::variant<Request, Refusal> ParseRequest(std::string_view message) {
    const Json none;
    auto read = ReadDocument(message);
    if (auto* problem = std::get_if<std::string>(&read)) return Refuse(none, std::move(*problem));
    const Json& document = std::get<Json>(read);
    if (!document.is_object()) return Refuse(none, "the message is not a JSON object");

    Request request;
    const Json* id = Member(document, "id");
    if (id == nullptr) return Refuse(none, Quoted("id") + " is missing");
    if (!id->is_number() && !id->is_string()) return Refuse(none, Quoted("id") + " must be a number or a string");
    if (id->is_string() && id->get_ref<const std::string&>().size() > kMaxIdBytes)
        return Refuse(none, Quoted("id") + " is longer than " + std::to_string(kMaxIdBytes) + " bytes");
    request.id = *id;

    const Json* page = Member(document, "page");
    if (page == nullptr) return Refuse(request.id, Quoted("page") + " is missing");
    if (!page->is_string()) return Refuse(request.id, Quoted("page") + " must be a string");
    // The text is checked UTF-8 by now, so it converts.
    request.page = Utf8ToUtf16(page->get_ref<const std::string&>()).value_or(u"");
    // No address a browser reports holds a NUL; such a text was made up.
    if (request.page.find(u'\0') != std::u16string::npos)
        return Refuse(request.id, Quoted("page") + " holds a NUL character: it is no page address");

    const Json* method = Member(document, "method");
    if (method == nullptr) return Refuse(request.id, Quoted("method") + " is missing");
    const MethodInfo* info = nullptr;
    if (method->is_string()) {
        for (const MethodInfo& candidate : kMethods)
            if (method->get_ref<const std::string&>() == candidate.name) info = &candidate;
    }
    if (info == nullptr)
        return Refuse(request.id, Quoted("method") + " must be isValidControl, getControlVersion or getPackageVersion");
    request.method = info->method;

    const Json* args = Member(document, "args");
    if (args == nullptr) return Refuse(request.id, Quoted("args") + " is missing");
    if (!args->is_array()) return Refuse(request.id, Quoted("args") + " must be an array");
    if (args->size() != info->arguments)
        return Refuse(request.id, std::string(info->name) + " takes " + std::to_string(info->arguments) +
                                      (info->arguments == 1 ? " argument, not " : " arguments, not ") +
                                      std::to_string(args->size()));
    for (std::size_t i = 0; i < args->size(); ++i) {
        const Json& argument = (*args)[i];
        const std::string which = "argument " + std::to_string(i + 1);
        if (!argument.is_string()) return Refuse(request.id, which + " must be a string");
        auto text = Utf8ToUtf16(argument.get_ref<const std::string&>()).value_or(u"");
        if (text.size() > kMaxArgumentUnits)
            return Refuse(request.id, which + " is longer than " + std::to_string(kMaxArgumentUnits) + " characters");
        request.arguments.push_back(std::move(text));
    }
    return request;
}

}  // namespace bridge
